#include "devserver/Calendar.h"

#include <glib.h>

#include <array>
#include <charconv>
#include <cstdio>

namespace vuko::dev {

namespace {

GDate toGDate(const Date& d) {
  GDate g;
  g_date_clear(&g, 1);
  g_date_set_dmy(&g, static_cast<GDateDay>(d.day), static_cast<GDateMonth>(d.month),
                 static_cast<GDateYear>(d.year));
  return g;
}

Date fromGDate(const GDate& g) {
  return {g_date_get_year(&g), g_date_get_month(&g), g_date_get_day(&g)};
}

// Digits only: from_chars would also take a sign ("-6:05" is no time).
std::optional<int> number(std::string_view s) {
  int v = 0;
  if (s.empty() || s.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return v;
}

struct DateTimeDeleter {
  void operator()(GDateTime* dt) const { g_date_time_unref(dt); }
};
using DateTimePtr = std::unique_ptr<GDateTime, DateTimeDeleter>;

}  // namespace

std::optional<Date> Date::make(int year, int month, int day) {
  if (year < 1900 || year > 2999 || month < 1 || month > 12 || day < 1 || day > 31)
    return std::nullopt;
  if (!g_date_valid_dmy(static_cast<GDateDay>(day), static_cast<GDateMonth>(month),
                        static_cast<GDateYear>(year)))
    return std::nullopt;
  return Date{year, month, day};
}

std::optional<Date> Date::parse(std::string_view text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  auto y = number(text.substr(0, 4));
  auto m = number(text.substr(5, 2));
  auto d = number(text.substr(8, 2));
  if (!y || !m || !d) return std::nullopt;
  return make(*y, *m, *d);
}

std::string Date::iso() const {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", year, month, day);
  return buf;
}

Date Date::addDays(int n) const {
  GDate g = toGDate(*this);
  if (n >= 0)
    g_date_add_days(&g, static_cast<guint>(n));
  else
    g_date_subtract_days(&g, static_cast<guint>(-n));
  return fromGDate(g);
}

Date Date::addMonths(int n) const {
  GDate g = toGDate(*this);
  if (n >= 0)
    g_date_add_months(&g, static_cast<guint>(n));
  else
    g_date_subtract_months(&g, static_cast<guint>(-n));
  return fromGDate(g);
}

int Date::weekday() const {
  GDate g = toGDate(*this);
  return static_cast<int>(g_date_get_weekday(&g));
}

int Date::daysUntil(const Date& other) const {
  GDate a = toGDate(*this);
  GDate b = toGDate(other);
  return g_date_days_between(&a, &b);
}

std::optional<int> parseTimeOfDay(std::string_view text) {
  if (text.size() != 5 && text.size() != 8) return std::nullopt;
  if (text[2] != ':' || (text.size() == 8 && text[5] != ':')) return std::nullopt;
  auto h = number(text.substr(0, 2));
  auto m = number(text.substr(3, 2));
  auto s = text.size() == 8 ? number(text.substr(6, 2)) : std::optional<int>(0);
  if (!h || !m || !s || *h > 23 || *m > 59 || *s > 59) return std::nullopt;
  return *h * 3600 + *m * 60 + *s;
}

std::string formatTime(int t) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", t / 3600 % 24, t / 60 % 60, t % 60);
  return buf;
}

std::string formatShortTime(int t) {
  return formatTime(t).substr(0, 5);
}

std::optional<Zone> Zone::named(const std::string& identifier) {
  if (identifier.empty() || identifier.size() > 64) return std::nullopt;
  GTimeZone* tz = g_time_zone_new_identifier(identifier.c_str());
  if (!tz) return std::nullopt;
  return Zone(std::shared_ptr<GTimeZone>(tz, g_time_zone_unref), identifier);
}

Zone Zone::utc() {
  return Zone(std::shared_ptr<GTimeZone>(g_time_zone_new_utc(), g_time_zone_unref), "UTC");
}

Date Zone::dayOf(std::int64_t unix) const {
  DateTimePtr utc(g_date_time_new_from_unix_utc(unix));
  DateTimePtr local(g_date_time_to_timezone(utc.get(), tz_.get()));
  return {g_date_time_get_year(local.get()), g_date_time_get_month(local.get()),
          g_date_time_get_day_of_month(local.get())};
}

int Zone::secondOfDay(std::int64_t unix) const {
  DateTimePtr utc(g_date_time_new_from_unix_utc(unix));
  DateTimePtr local(g_date_time_to_timezone(utc.get(), tz_.get()));
  return g_date_time_get_hour(local.get()) * 3600 + g_date_time_get_minute(local.get()) * 60 +
         g_date_time_get_second(local.get());
}

std::int64_t Zone::moment(const Date& day, int secondOfDay) const {
  // Built from the wall-clock fields: adding seconds to midnight would be an
  // hour off on the days the clocks change.
  DateTimePtr at(g_date_time_new(tz_.get(), day.year, day.month, day.day, secondOfDay / 3600,
                                 secondOfDay / 60 % 60, secondOfDay % 60));
  return g_date_time_to_unix(at.get());
}

std::string Zone::iso(std::int64_t unix) const {
  DateTimePtr utc(g_date_time_new_from_unix_utc(unix));
  DateTimePtr local(g_date_time_to_timezone(utc.get(), tz_.get()));
  gchar* s = g_date_time_format(local.get(), "%Y-%m-%dT%H:%M:%S%:z");
  std::string out = s ? s : "";
  g_free(s);
  return out;
}

std::string dayWords(const Date& day, const Date& today) {
  static constexpr std::array<const char*, 12> kMonths = {
      "января", "февраля", "марта",    "апреля",  "мая",    "июня",
      "июля",   "августа", "сентября", "октября", "ноября", "декабря"};
  int diff = today.daysUntil(day);
  if (diff == 0) return "сегодня";
  if (diff == 1) return "завтра";
  if (diff == -1) return "вчера";
  std::string out = std::to_string(day.day) + " " + kMonths[static_cast<size_t>(day.month - 1)];
  if (day.year != today.year) out += " " + std::to_string(day.year);
  return out;
}

std::string capitalize(const std::string& text) {
  if (text.empty() || !g_utf8_validate(text.c_str(), -1, nullptr)) return text;
  gunichar first = g_unichar_toupper(g_utf8_get_char(text.c_str()));
  char buf[8] = {};
  g_unichar_to_utf8(first, buf);
  return buf + std::string(g_utf8_next_char(text.c_str()));
}

std::string plural(long n, const char* one, const char* few, const char* many) {
  long a = n < 0 ? -n : n;
  long tens = a % 100, units = a % 10;
  if (tens >= 11 && tens <= 14) return many;
  if (units == 1) return one;
  if (units >= 2 && units <= 4) return few;
  return many;
}

}  // namespace vuko::dev
