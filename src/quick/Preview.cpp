#include "quick/Preview.h"

#include <glib.h>

#include <cstdint>
#include <ctime>
#include <optional>
#include <vector>

namespace vuko::Preview {

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date.
long long daysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

bool leap(long long y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

unsigned daysInMonth(long long y, unsigned m) {
  static const unsigned table[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && leap(y) ? 29 : table[m - 1];
}

struct Date {
  long long year;
  unsigned month, day;
};

// Reads a run of 1..max digits at pos; nothing when there is none.
std::optional<long long> digits(const std::string& s, size_t& pos, size_t min, size_t max) {
  size_t start = pos;
  long long v = 0;
  while (pos < s.size() && pos - start < max && s[pos] >= '0' && s[pos] <= '9')
    v = v * 10 + (s[pos++] - '0');
  if (pos - start < min) return std::nullopt;
  return v;
}

// "yyyy-MM-dd", read as a date formatter reads it: four-digit year, month and
// day of one or two digits, and nothing else; impossible dates are refused.
std::optional<Date> parseDate(const std::string& s) {
  size_t pos = 0;
  auto y = digits(s, pos, 4, 4);
  if (!y || pos >= s.size() || s[pos++] != '-') return std::nullopt;
  auto m = digits(s, pos, 1, 2);
  if (!m || pos >= s.size() || s[pos++] != '-') return std::nullopt;
  auto d = digits(s, pos, 1, 2);
  if (!d || pos != s.size()) return std::nullopt;
  if (*m < 1 || *m > 12) return std::nullopt;
  auto month = static_cast<unsigned>(*m);
  if (*d < 1 || *d > daysInMonth(*y, month)) return std::nullopt;
  return Date{*y, month, static_cast<unsigned>(*d)};
}

// Today's date in the local time zone.
Date localDate(Clock::TimePoint now) {
  std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&t, &local);
  return Date{local.tm_year + 1900LL, static_cast<unsigned>(local.tm_mon + 1),
              static_cast<unsigned>(local.tm_mday)};
}

// Weekday names from Monday, and month names in the genitive.
const char* const kWeekdays[] = {"понедельник", "вторник", "среда",      "четверг",
                                 "пятница",     "суббота", "воскресенье"};
const char* const kMonths[] = {"января", "февраля", "марта",    "апреля",  "мая",    "июня",
                               "июля",   "августа", "сентября", "октября", "ноября", "декабря"};

// Upper-cases the first letter.
std::string capitalised(const std::string& s) {
  if (s.empty() || !g_utf8_validate(s.data(), static_cast<gssize>(s.size()), nullptr)) return s;
  const char* rest = g_utf8_next_char(s.data());
  gchar* first = g_utf8_strup(s.data(), rest - s.data());
  std::string out = first + std::string(rest);
  g_free(first);
  return out;
}

// Hours and minutes: the first five characters (code points) of the time.
std::string hoursMinutes(const std::string& time) {
  const char* end = time.data() + time.size();
  const char* p = time.data();
  for (int n = 0; n < 5 && p; ++n) p = g_utf8_find_next_char(p, end);
  return p ? std::string(time.data(), p) : time;
}

const nlohmann::json* member(const nlohmann::json& object, const char* key) {
  auto it = object.find(key);
  return it == object.end() ? nullptr : &*it;
}

const std::string* stringMember(const nlohmann::json& object, const char* key) {
  auto* v = member(object, key);
  return v && v->is_string() ? v->get_ptr<const std::string*>() : nullptr;
}

}  // namespace

std::string day(const std::string& text, Clock::TimePoint now) {
  auto date = parseDate(text);
  if (!date) return text;
  Date today = localDate(now);
  long long ahead = daysFromCivil(date->year, date->month, date->day) -
                    daysFromCivil(today.year, today.month, today.day);
  if (ahead == 0) return "Сегодня";
  if (ahead == 1) return "Завтра";
  std::string word;
  if (ahead >= 1 && ahead <= 6) {
    long long days = daysFromCivil(date->year, date->month, date->day);
    // 1970-01-01 was a Thursday (index 3 from Monday).
    word = kWeekdays[((days % 7) + 7 + 3) % 7];
  } else {
    word = std::to_string(date->day) + " " + kMonths[date->month - 1];
  }
  return capitalised(word);
}

std::string day(const std::string& text) {
  return day(text, Clock::main().now());
}

std::string describe(const nlohmann::json& task, Clock::TimePoint now) {
  if (!task.is_object()) return "";
  std::vector<std::string> parts;
  const std::string* time = stringMember(task, "due_time");

  if (auto* start = stringMember(task, "start_date")) {
    std::string part = day(*start, now);
    if (time) part += ", " + hoursMinutes(*time);
    parts.push_back(part);
  }
  if (auto* due = stringMember(task, "due_date")) {
    std::string part = "дедлайн " + day(*due, now);
    // Any start member, even null, keeps the time with the start.
    if (time && !member(task, "start_date")) part += ", " + hoursMinutes(*time);
    parts.push_back(part);
  }
  if (auto* p = member(task, "priority"); p && p->is_number_integer()) {
    static const char* const names[] = {"Низкий", "Средний", "Высокий"};
    // Read as unsigned only when positive, so huge values stay huge.
    bool positive = p->is_number_unsigned() || p->get<long long>() >= 1;
    std::uint64_t level = positive ? p->get<std::uint64_t>() : 0;
    // A level outside the table still takes its place between separators.
    if (level >= 1) parts.push_back(level <= 3 ? names[level - 1] : "");
  }
  if (auto* tags = member(task, "tags"); tags && tags->is_array()) {
    for (const auto& tag : *tags) {
      if (tag.is_string())
        parts.push_back("#" + tag.get<std::string>());
      else if (auto* name = tag.is_object() ? stringMember(tag, "name") : nullptr)
        parts.push_back("#" + *name);
    }
  }
  if (auto* repeat = stringMember(task, "repeat"); repeat && !repeat->empty())
    parts.push_back("повтор");

  std::string out;
  for (size_t i = 0; i < parts.size(); ++i) out += (i ? " · " : "") + parts[i];
  return out;
}

std::string describe(const nlohmann::json& task) {
  return describe(task, Clock::main().now());
}

}  // namespace vuko::Preview
