#include "reminders/Item.h"

#include <cstdio>
#include <regex>

namespace vuko {

namespace {

bool digits(const std::string& s, size_t from, size_t n, int& out) {
  if (from + n > s.size()) return false;
  int v = 0;
  for (size_t i = from; i < from + n; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    v = v * 10 + (s[i] - '0');
  }
  out = v;
  return true;
}

}  // namespace

std::string ReminderItem::shownBody() const {
  if (!isDigest() && body.empty()) return "Напоминание";
  return body;
}

std::optional<ReminderItem> ReminderItem::from(const nlohmann::json& dict) {
  if (!dict.is_object()) return std::nullopt;
  ReminderItem item;
  auto id = dict.find("id");
  if (id == dict.end()) return std::nullopt;
  item.id = id->is_string() ? id->get<std::string>() : id->dump();
  auto at = dict.find("remind_at");
  if (at == dict.end() || !at->is_string()) return std::nullopt;
  auto when = parseDate(at->get<std::string>());
  if (!when) return std::nullopt;
  item.at = *when;
  auto text = [&](const char* name, std::string fallback) {
    auto it = dict.find(name);
    return it != dict.end() && it->is_string() ? it->get<std::string>() : std::move(fallback);
  };
  item.kind = text("kind", "task");
  item.title = text("title", "");
  item.body = text("body", "");
  auto task = dict.find("task_id");
  if (task != dict.end() && task->is_number_integer()) item.taskId = task->get<long long>();
  return item;
}

std::optional<ReminderItem::TimePoint> ReminderItem::parseDate(const std::string& raw) {
  static const std::regex fraction(R"(\.\d+)");
  std::string s = std::regex_replace(raw, fraction, "");
  // yyyy-MM-ddTHH:mm:ss followed by Z or ±HH:mm, nothing else.
  int y, mo, d, h, mi, se;
  if (s.size() < 20 || !digits(s, 0, 4, y) || s[4] != '-' || !digits(s, 5, 2, mo) || s[7] != '-' ||
      !digits(s, 8, 2, d) || s[10] != 'T' || !digits(s, 11, 2, h) || s[13] != ':' ||
      !digits(s, 14, 2, mi) || s[16] != ':' || !digits(s, 17, 2, se))
    return std::nullopt;
  int offset = 0;
  if (s.size() == 20 && s[19] == 'Z') {
    offset = 0;
  } else if (s.size() == 25 && (s[19] == '+' || s[19] == '-') && s[22] == ':') {
    int oh, om;
    if (!digits(s, 20, 2, oh) || !digits(s, 23, 2, om) || oh > 23 || om > 59) return std::nullopt;
    offset = (oh * 60 + om) * 60 * (s[19] == '-' ? -1 : 1);
  } else {
    return std::nullopt;
  }
  using namespace std::chrono;
  year_month_day ymd{year(y), month(static_cast<unsigned>(mo)), day(static_cast<unsigned>(d))};
  if (!ymd.ok() || h > 23 || mi > 59 || se > 60) return std::nullopt;
  auto t = sys_days(ymd) + hours(h) + minutes(mi) + seconds(se) - seconds(offset);
  return time_point_cast<system_clock::duration>(t);
}

std::string ReminderItem::formatDate(TimePoint t) {
  using namespace std::chrono;
  auto us = time_point_cast<microseconds>(t);
  auto day = floor<days>(us);
  year_month_day ymd(day);
  hh_mm_ss tod(us - day);
  char buf[48];
  std::snprintf(buf, sizeof buf, "%04d-%02u-%02uT%02ld:%02ld:%02ld.%06ldZ", int(ymd.year()),
                unsigned(ymd.month()), unsigned(ymd.day()), long(tod.hours().count()),
                long(tod.minutes().count()), long(tod.seconds().count()),
                long(tod.subseconds().count()));
  return buf;
}

}  // namespace vuko
