#include "platform/gtk/SignalConnection.h"

#include <gio/gio.h>
#include <gtest/gtest.h>

#include "support/LogCapture.h"

namespace vuko {
namespace {

// Counts the activations of an action, a GObject whose signal a test can emit.
class SignalConnectionTest : public testing::Test {
 protected:
  void TearDown() override {
    if (action) g_object_unref(action);
  }
  SignalConnection connect() {
    return SignalConnection::connect(
        action, "activate",
        G_CALLBACK(+[](GSimpleAction*, GVariant*, gpointer n) { ++*static_cast<int*>(n); }),
        &count);
  }
  int emit() {
    g_action_activate(G_ACTION(action), nullptr);
    return count;
  }
  GSimpleAction* action = g_simple_action_new("a", nullptr);
  int count = 0;
};

TEST_F(SignalConnectionTest, TheHandlerRunsExactlyWhileOneHandleHoldsIt) {
  {
    auto c = connect();
    EXPECT_TRUE(c.connected());
    EXPECT_EQ(emit(), 1);
  }
  EXPECT_EQ(emit(), 1) << "ran after its handle went";

  auto a = connect();
  SignalConnection moved(std::move(a));
  EXPECT_FALSE(
      a.connected());  // NOLINT(bugprone-use-after-move): the moved-from state is the point
  a.reset();
  EXPECT_EQ(emit(), 2) << "resetting the moved-from handle ended it";
  moved = connect();
  EXPECT_EQ(emit(), 3) << "the replaced handler still ran";
  moved.reset();
  moved.reset();
  EXPECT_FALSE(moved.connected());
  EXPECT_EQ(emit(), 3) << "ran after reset";
}

TEST_F(SignalConnectionTest, OutlivingTheInstanceOrAnOutsideDisconnectIsHarmless) {
  test::LogCapture criticals("GLib-GObject");
  {
    auto c = connect();
    g_signal_handlers_disconnect_by_data(action, &count);
    EXPECT_FALSE(c.connected());
  }
  auto outlived = connect();
  g_clear_object(&action);
  EXPECT_FALSE(outlived.connected());
  outlived.reset();
  EXPECT_TRUE(criticals.messages.empty()) << criticals.messages.front();
}

}  // namespace
}  // namespace vuko
