#include "platform/Task.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "support/LogCapture.h"

namespace vuko {
namespace {

Task<int> failAfter(Future<int> gate) {
  int v = co_await gate;
  if (v < 0) throw std::runtime_error("negative " + std::to_string(v));
  co_return v;
}

// A failure of detached work is logged once, whether it finished before or
// after the detach; one awaited reaches the awaiter and is not logged.
TEST(TaskTest, FailuresAreLoggedOnlyWhenNoOneAwaitsThem) {
  for (bool finishFirst : {false, true}) {
    test::LogCapture log;
    Future<int> gate;
    auto task = failAfter(gate);
    if (finishFirst) gate.resolver()(-1);
    task.detach();
    if (!finishFirst) gate.resolver()(-1);
    ASSERT_EQ(log.messages.size(), 1u) << finishFirst;
    EXPECT_NE(log.messages[0].find("negative -1"), std::string::npos);
  }
  test::LogCapture log;
  Future<int> gate;
  auto outer = [](Future<int> g) -> Task<std::string> {
    try {
      co_await failAfter(g);
    } catch (const std::runtime_error& e) {
      co_return e.what();
    }
    co_return "no failure";
  }(gate);
  gate.resolver()(-2);
  ASSERT_TRUE(outer.done());
  EXPECT_EQ(outer.result(), "negative -2");
  EXPECT_TRUE(log.messages.empty());
}

}  // namespace
}  // namespace vuko
