#include "devserver/Recurrence.h"

namespace vuko::dev {

namespace {

int weeklyDay(std::string_view rule) {
  if (rule.size() == 8 && rule.substr(0, 7) == "weekly:" && rule[7] >= '1' && rule[7] <= '7')
    return rule[7] - '0';
  return 0;
}

}  // namespace

bool validRepeat(std::string_view rule) {
  return rule == "daily" || rule == "weekdays" || rule == "weekly" || rule == "monthly" ||
         rule == "yearly" || weeklyDay(rule) != 0;
}

Date firstOccurrence(std::string_view rule, const Date& from) {
  Date d = from;
  if (int wd = weeklyDay(rule)) {
    while (d.weekday() != wd) d = d.addDays(1);
  } else if (rule == "weekdays") {
    while (d.weekday() > 5) d = d.addDays(1);
  }
  return d;
}

Date nextOccurrence(std::string_view rule, const Date& day) {
  if (rule == "daily") return day.addDays(1);
  if (rule == "weekly") return day.addDays(7);
  if (rule == "monthly") return day.addMonths(1);
  if (rule == "yearly") return day.addMonths(12);
  return firstOccurrence(rule, day.addDays(1));
}

}  // namespace vuko::dev
