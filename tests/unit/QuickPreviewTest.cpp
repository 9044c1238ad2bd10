// The quick panel's preview line: dates as Russian words relative to today in
// the local time zone, and the parts of a parsed task.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>

#include "quick/Preview.h"
#include "support/FakeClock.h"

using namespace vuko;
using namespace std::chrono;

namespace {

// Runs each test in a chosen time zone, Greenwich unless it says otherwise.
class QuickPreviewTest : public testing::Test {
 protected:
  void SetUp() override { zone("UTC0"); }
  void TearDown() override {
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
};

}  // namespace

TEST_F(QuickPreviewTest, DayNamesDatesRelativeToToday) {
  const auto sat = at(2026, 12, 5);  // Saturday 5 December 2026
  struct Case {
    Clock::TimePoint now;
    const char* text;
    const char* word;
  } cases[] = {
      {sat, "2026-12-06", "Завтра"},
      {sat, "2026-12-11", "Пятница"},                     // six days ahead
      {sat, "2026-12-12", "12 декабря"},                  // seven days ahead
      {sat, "2026-12-4", "4 декабря"},                    // yesterday, with a one-digit day
      {at(2026, 12, 5, 23, 59), "2026-12-06", "Завтра"},  // the last minute of the day
      {at(2026, 12, 31), "2027-01-02", "Суббота"},        // across the end of the year
      {at(2028, 2, 28), "2028-02-29", "Завтра"},          // a leap day
      // Text that is not a date comes back as it is.
      {sat, "завтра", "завтра"},
      {sat, "2026-13-01", "2026-13-01"},
      {sat, "2027-02-29", "2027-02-29"},  // not a leap year
      {sat, "2026-12-06T10:00", "2026-12-06T10:00"},
      {sat, "26-12-06", "26-12-06"},
  };
  for (const auto& c : cases) EXPECT_EQ(Preview::day(c.text, c.now), c.word) << c.text;
}

TEST_F(QuickPreviewTest, DayCountsInTheLocalTimeZone) {
  // 22:30 on 31 December in Greenwich is already 1 January three hours east.
  auto now = at(2026, 12, 31, 22, 30);
  EXPECT_EQ(Preview::day("2027-01-01", now), "Завтра");
  zone("EAST-3");
  EXPECT_EQ(Preview::day("2026-12-31", now), "31 декабря");
  EXPECT_EQ(Preview::day("2027-01-01", now), "Сегодня");
}

TEST_F(QuickPreviewTest, DescribeJoinsThePartsTheServerRead) {
  auto now = at(2026, 12, 5);  // Saturday
  struct Case {
    const char* task;
    const char* line;
  } cases[] = {
      {R"([])", ""},
      {R"({"start_date": "2026-12-06", "due_date": "2026-12-08", "due_time": "18:00",
           "priority": 1, "tags": ["семья", {"name": "дом"}, 5], "repeat": "weekly"})",
       "Завтра, 18:00 · дедлайн Вторник · Низкий · #семья · #дом · повтор"},
      // Any start member keeps the time off the deadline, null included.
      {R"({"start_date": null, "due_date": "2026-12-06", "due_time": "10:00"})", "дедлайн Завтра"},
      {R"({"start_date": "2026-12-12", "due_time": "08:15:00"})", "12 декабря, 08:15"},
      {R"({"due_date": 20261206, "due_time": "10:00"})", ""},
      // Priority: an integer from 1; beyond the table an empty part.
      {R"({"priority": 5, "repeat": "daily"})", " · повтор"},
      {R"({"priority": 0, "repeat": "daily"})", "повтор"},
      {R"({"priority": "3"})", ""},
      {R"({"priority": 18446744073709551615, "repeat": "x"})", " · повтор"},
      // Tags: strings and objects with a string name, in order.
      {R"({"tags": [{"name": 3}, null, "a", {"id": 1}, {"name": "b"}]})", "#a · #b"},
      {R"({"tags": "семья", "repeat": ""})", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Preview::describe(nlohmann::json::parse(c.task), now), c.line) << c.task;
}

TEST_F(QuickPreviewTest, WithoutAGivenTimeTodayIsTheMainClocksToday) {
  Clock::setMain(std::make_shared<test::FakeClock>());  // 15 January 2027, 08:00
  EXPECT_EQ(Preview::day("2027-01-15"), "Сегодня");
  EXPECT_EQ(Preview::describe({{"due_date", "2027-01-16"}}), "дедлайн Завтра");
  Clock::setMain(nullptr);
}
