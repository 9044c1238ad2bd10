// How the quick panel shows a task the server has read: one short Russian
// line ("дедлайн Пятница, 10:00 · Высокий · #семья"). Pure functions with
// their own Russian names, so they need no Russian locale on the machine.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "platform/Clock.h"

namespace vuko::Preview {

// The parts of a parsed or created task joined by " · "; empty when none
// applies. Members of a wrong type count as absent.
std::string describe(const nlohmann::json& task);
std::string describe(const nlohmann::json& task, Clock::TimePoint now);

// A "yyyy-MM-dd" date as a word relative to today in the local time zone:
// "Сегодня", "Завтра", a weekday within the week ahead, otherwise "6 декабря".
// Text that is not such a date comes back unchanged.
std::string day(const std::string& text);
std::string day(const std::string& text, Clock::TimePoint now);

}  // namespace vuko::Preview
