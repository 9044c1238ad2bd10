#include <gtest/gtest.h>

#include "app/Badge.h"

using vuko::Badge;

TEST(BadgeLabelTest, OnlyAPositiveIntegerTodayShows) {
  struct Case {
    const char* counts;
    std::optional<std::string> label;
  } cases[] = {
      {R"({"today":12,"inbox":3})", "12"}, {R"({"today":1})", "1"},
      {R"({"today":500})", "500"},         {R"({"today":0})", std::nullopt},
      {R"({"today":-4})", std::nullopt},   {R"({"today":"12"})", std::nullopt},
      {R"({"today":2.5})", std::nullopt},  {R"({"today":true})", std::nullopt},
      {R"({"today":null})", std::nullopt}, {R"({"inbox":3})", std::nullopt},
      {R"([{"today":3}])", std::nullopt},  {R"(12)", std::nullopt},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Badge::labelFor(nlohmann::json::parse(c.counts)), c.label) << c.counts;
}
