// Reads a line of Russian free text as a task: dates, deadline, time,
// priority, tags and repetition; the words left over are the title.
//
// A plain date ("завтра", "5 декабря") is the task's due_date, unless the
// line also names a deadline ("до пятницы"): then the deadline is the due_date
// and the plain date becomes the start_date. A time belongs to the first of
// these days; a time alone means today, or tomorrow once it has passed.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "devserver/Calendar.h"

namespace vuko::dev {

struct ParsedTask {
  std::string title;
  std::optional<Date> startDate;
  std::optional<Date> dueDate;
  std::optional<int> dueTime;  // seconds since midnight
  int priority = 0;
  std::vector<std::string> tags;
  std::optional<std::string> repeat;
};

// `today` and `nowSecond` are the current day and second of the day in the
// user's time zone.
ParsedTask parseTask(std::string_view text, const Date& today, int nowSecond);

}  // namespace vuko::dev
