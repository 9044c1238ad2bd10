// Repetition rules of tasks: "daily", "weekdays", "weekly", "weekly:N"
// (N = 1 Monday … 7 Sunday), "monthly", "yearly".
#pragma once

#include <string>
#include <string_view>

#include "devserver/Calendar.h"

namespace vuko::dev {

bool validRepeat(std::string_view rule);
// The first day on or after `from` on which the rule lets the task fall.
Date firstOccurrence(std::string_view rule, const Date& from);
// The day of the next instance after a task on `day` was completed.
Date nextOccurrence(std::string_view rule, const Date& day);

}  // namespace vuko::dev
