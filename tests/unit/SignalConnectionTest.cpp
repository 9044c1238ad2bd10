#include "platform/gtk/SignalConnection.h"

#include <gio/gio.h>
#include <gtest/gtest.h>

#include "support/LogCapture.h"

namespace vuko {
namespace {

// A GObject with a signal that can be emitted at will.
struct Source {
  Source() : action(g_simple_action_new("a", nullptr)) {}
  ~Source() {
    if (action) g_object_unref(action);
  }
  void emit() const { g_action_activate(G_ACTION(action), nullptr); }
  SignalConnection connect(int* count) const {
    return SignalConnection::connect(
        action, "activate",
        G_CALLBACK(+[](GSimpleAction*, GVariant*, gpointer n) { ++*static_cast<int*>(n); }), count);
  }
  GSimpleAction* action;
};

TEST(SignalConnectionTest, TheHandlerRunsExactlyWhileTheHandleHoldsIt) {
  Source source;
  int count = 0;
  {
    auto c = source.connect(&count);
    EXPECT_TRUE(c.connected());
    source.emit();
    EXPECT_EQ(count, 1);
  }
  source.emit();
  EXPECT_EQ(count, 1) << "ran after its handle went";

  auto c = source.connect(&count);
  c.reset();
  EXPECT_FALSE(c.connected());
  c.reset();
  source.emit();
  EXPECT_EQ(count, 1) << "ran after reset";
  EXPECT_FALSE(SignalConnection().connected());
}

TEST(SignalConnectionTest, MovingKeepsTheHandlerAndAssigningOverOneEndsIt) {
  Source source;
  int first = 0, second = 0;
  auto a = source.connect(&first);
  SignalConnection moved(std::move(a));
  EXPECT_FALSE(
      a.connected());  // NOLINT(bugprone-use-after-move): the moved-from state is the point
  a.reset();
  source.emit();
  EXPECT_EQ(first, 1);

  moved = source.connect(&second);
  source.emit();
  EXPECT_EQ(first, 1) << "the replaced handler still ran";
  EXPECT_EQ(second, 1);
  moved = SignalConnection();
  source.emit();
  EXPECT_EQ(second, 1);
}

TEST(SignalConnectionTest, OutlivingTheInstanceOrAnOutsideDisconnectIsHarmless) {
  test::LogCapture criticals("GLib-GObject");
  int count = 0;
  {
    Source source;
    auto c = source.connect(&count);
    g_signal_handlers_disconnect_by_data(source.action, &count);
    EXPECT_FALSE(c.connected());
    // Ends here, after an outside disconnect.
  }
  SignalConnection outlived;
  {
    Source source;
    outlived = source.connect(&count);
  }
  EXPECT_FALSE(outlived.connected());
  outlived.reset();
  EXPECT_TRUE(criticals.messages.empty()) << criticals.messages.front();
}

}  // namespace
}  // namespace vuko
