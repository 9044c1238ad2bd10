// The quick panel's preview line: dates as Russian words relative to today in
// the local time zone, and the parts of a parsed task.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>

#include "quick/Preview.h"

using namespace vuko;
using namespace std::chrono;

namespace {

// Runs each test in a chosen time zone and puts the old one back.
class QuickPreviewTest : public testing::Test {
 protected:
  void SetUp() override {
    if (const char* tz = std::getenv("TZ")) saved_ = tz;
    zone("UTC0");
  }
  void TearDown() override {
    if (saved_)
      setenv("TZ", saved_->c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }
  static void zone(const char* tz) {
    setenv("TZ", tz, 1);
    tzset();
  }
  static Clock::TimePoint at(int y, unsigned m, unsigned d, int hour = 12, int minute = 0) {
    return sys_days{year{y} / month{m} / day{d}} + hours{hour} + minutes{minute};
  }
  std::optional<std::string> saved_;
};

}  // namespace

TEST_F(QuickPreviewTest, DayNamesDatesRelativeToToday) {
  struct Case {
    Clock::TimePoint now;
    const char* text;
    const char* word;
  } cases[] = {
      // Saturday 5 December 2026.
      {at(2026, 12, 5), "2026-12-05", "Сегодня"},
      {at(2026, 12, 5), "2026-12-06", "Завтра"},
      {at(2026, 12, 5), "2026-12-07", "Понедельник"},
      {at(2026, 12, 5), "2026-12-08", "Вторник"},
      {at(2026, 12, 5), "2026-12-11", "Пятница"},         // six days ahead
      {at(2026, 12, 5), "2026-12-12", "12 декабря"},      // seven days ahead
      {at(2026, 12, 5), "2026-12-04", "4 декабря"},       // yesterday
      {at(2026, 12, 5), "2025-03-01", "1 марта"},         // the year is never shown
      {at(2026, 12, 5, 0, 0), "2026-12-05", "Сегодня"},   // the first minute of the day
      {at(2026, 12, 5, 23, 59), "2026-12-06", "Завтра"},  // and the last
      // Across the end of the year.
      {at(2026, 12, 31), "2027-01-01", "Завтра"},
      {at(2026, 12, 31), "2027-01-02", "Суббота"},
      {at(2026, 12, 31), "2027-01-07", "7 января"},
      {at(2027, 1, 1), "2026-12-31", "31 декабря"},
      // The last day of February in a leap year.
      {at(2028, 2, 28), "2028-02-29", "Завтра"},
      {at(2028, 2, 28), "2028-03-01", "Среда"},
      {at(2028, 2, 29), "2028-03-06", "Понедельник"},
      {at(2028, 2, 29), "2028-03-07", "7 марта"},
      // Every genitive month name.
      {at(2026, 12, 5), "2026-01-15", "15 января"},
      {at(2026, 12, 5), "2026-02-15", "15 февраля"},
      {at(2026, 12, 5), "2026-04-15", "15 апреля"},
      {at(2026, 12, 5), "2026-05-15", "15 мая"},
      {at(2026, 12, 5), "2026-06-15", "15 июня"},
      {at(2026, 12, 5), "2026-07-15", "15 июля"},
      {at(2026, 12, 5), "2026-08-15", "15 августа"},
      {at(2026, 12, 5), "2026-09-15", "15 сентября"},
      {at(2026, 12, 5), "2026-10-15", "15 октября"},
      {at(2026, 12, 5), "2026-11-15", "15 ноября"},
      // Text that is not a date comes back as it is.
      {at(2026, 12, 5), "завтра", "завтра"},
      {at(2026, 12, 5), "", ""},
      {at(2026, 12, 5), "2026-13-01", "2026-13-01"},
      {at(2026, 12, 5), "2027-02-29", "2027-02-29"},  // not a leap year
      {at(2026, 12, 5), "2026-12-06T10:00", "2026-12-06T10:00"},
      {at(2026, 12, 5), " 2026-12-06", " 2026-12-06"},
      {at(2026, 12, 5), "26-12-06", "26-12-06"},
  };
  for (const auto& c : cases) EXPECT_EQ(Preview::day(c.text, c.now), c.word) << c.text;
}

TEST_F(QuickPreviewTest, DayCountsInTheLocalTimeZone) {
  // 22:30 on 31 December in Greenwich is already 1 January three hours east.
  auto now = at(2026, 12, 31, 22, 30);
  EXPECT_EQ(Preview::day("2026-12-31", now), "Сегодня");
  EXPECT_EQ(Preview::day("2027-01-01", now), "Завтра");
  zone("EAST-3");
  EXPECT_EQ(Preview::day("2026-12-31", now), "31 декабря");
  EXPECT_EQ(Preview::day("2027-01-01", now), "Сегодня");
  EXPECT_EQ(Preview::day("2027-01-02", now), "Завтра");
}

TEST_F(QuickPreviewTest, DescribeJoinsThePartsTheServerRead) {
  auto now = at(2026, 12, 5);  // Saturday
  struct Case {
    const char* task;
    const char* line;
  } cases[] = {
      {R"({})", ""},
      {R"([])", ""},
      {R"({"title": "позвонить маме"})", ""},
      {R"({"due_date": "2026-12-05", "due_time": "09:30:00"})", "дедлайн Сегодня, 09:30"},
      {R"({"due_date": "2026-12-06", "due_time": "10:00:00", "priority": 3, "tags": ["семья"]})",
       "дедлайн Завтра, 10:00 · Высокий · #семья"},
      {R"({"start_date": "2026-12-06", "due_date": "2026-12-08", "due_time": "18:00",
           "priority": 3, "tags": ["семья", {"name": "дом"}, 5], "repeat": "weekly"})",
       "Завтра, 18:00 · дедлайн Вторник · Высокий · #семья · #дом · повтор"},
      // Any start member keeps the time off the deadline, null included.
      {R"({"start_date": null, "due_date": "2026-12-06", "due_time": "10:00"})", "дедлайн Завтра"},
      {R"({"start_date": 7, "due_date": "2026-12-06", "due_time": "10:00"})", "дедлайн Завтра"},
      {R"({"start_date": "2026-12-06"})", "Завтра"},
      {R"({"start_date": "2026-12-12", "due_time": "08:15:00"})", "12 декабря, 08:15"},
      {R"({"due_date": "2026-12-06", "due_time": null})", "дедлайн Завтра"},
      {R"({"due_date": "2026-12-06", "due_time": "9:00"})", "дедлайн Завтра, 9:00"},
      {R"({"due_date": "пятница"})", "дедлайн пятница"},
      {R"({"due_date": 20261206, "due_time": "10:00"})", ""},
      // Priority: an integer from 1; beyond the table an empty part.
      {R"({"priority": 1})", "Низкий"},
      {R"({"priority": 2})", "Средний"},
      {R"({"priority": 5})", ""},
      {R"({"priority": 5, "repeat": "daily"})", " · повтор"},
      {R"({"priority": 0, "repeat": "daily"})", "повтор"},
      {R"({"priority": -1})", ""},
      {R"({"priority": "3"})", ""},
      {R"({"priority": 2.5})", ""},
      {R"({"priority": true})", ""},
      {R"({"priority": 18446744073709551615, "repeat": "x"})", " · повтор"},
      // Tags: strings and objects with a string name, in order.
      {R"({"tags": [{"name": 3}, null, "a", {"id": 1}, {"name": "b"}]})", "#a · #b"},
      {R"({"tags": "семья"})", ""},
      {R"({"tags": []})", ""},
      {R"({"repeat": ""})", ""},
      {R"({"repeat": true})", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Preview::describe(nlohmann::json::parse(c.task), now), c.line) << c.task;
}

TEST_F(QuickPreviewTest, WithoutAGivenTimeTodayIsTheClocksToday) {
  auto today = floor<days>(system_clock::now());
  year_month_day ymd{today};
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(ymd.year()),
                static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
  EXPECT_EQ(Preview::day(text), "Сегодня");
  EXPECT_EQ(Preview::describe({{"due_date", text}}), "дедлайн Сегодня");
}
