// Calendar dates, times of day and the user's time zone, on top of GLib's
// GDate, GDateTime and GTimeZone.
#pragma once

#include <compare>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// GLib's own name for the type, declared without pulling in all of GLib.
typedef struct _GTimeZone GTimeZone;  // NOLINT(bugprone-reserved-identifier)

namespace vuko::dev {

// A calendar day without time or zone.
struct Date {
  int year = 1970;
  int month = 1;
  int day = 1;

  auto operator<=>(const Date&) const = default;

  // "yyyy-MM-dd"; nothing for any other form or an impossible day.
  static std::optional<Date> parse(std::string_view text);
  // A valid day, or nothing (31 February and the like).
  static std::optional<Date> make(int year, int month, int day);
  std::string iso() const;
  Date addDays(int n) const;
  Date addMonths(int n) const;
  // 1 = Monday … 7 = Sunday.
  int weekday() const;
  // Whole days from this day to `other` (negative when other is earlier).
  int daysUntil(const Date& other) const;
};

// Seconds since midnight from "HH:MM" or "HH:MM:SS".
std::optional<int> parseTimeOfDay(std::string_view text);
// "HH:MM:SS" and "HH:MM".
std::string formatTime(int secondsOfDay);
std::string formatShortTime(int secondsOfDay);

// A named time zone ("Europe/Moscow"); copies share the GLib object.
class Zone {
 public:
  static std::optional<Zone> named(const std::string& identifier);
  static Zone utc();

  const std::string& name() const { return name_; }
  // The day and the second of the day that `unix` falls on in this zone.
  Date dayOf(std::int64_t unix) const;
  int secondOfDay(std::int64_t unix) const;
  // The moment of a wall-clock time in this zone (gaps and overlaps resolved
  // the way GLib resolves them).
  std::int64_t moment(const Date& day, int secondOfDay) const;
  // ISO 8601 with the zone's offset, e.g. "2025-03-01T12:00:00+03:00".
  std::string iso(std::int64_t unix) const;

 private:
  Zone(std::shared_ptr<GTimeZone> tz, std::string name)
      : tz_(std::move(tz)), name_(std::move(name)) {}
  std::shared_ptr<GTimeZone> tz_;
  std::string name_;
};

// Russian words for a day relative to today: "сегодня", "завтра", "5 декабря".
std::string dayWords(const Date& day, const Date& today);
// The text with its first letter in upper case.
std::string capitalize(const std::string& text);
// "задача", "задачи", "задач" by the number.
std::string plural(long n, const char* one, const char* few, const char* many);

}  // namespace vuko::dev
