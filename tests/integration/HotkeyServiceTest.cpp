// Real key grabs on the X display, pressed through XTEST with xdotool.
#include <glib.h>
#include <gtest/gtest.h>

// After the test framework: Xlib defines macros (None, Status, Bool) that
// clash with its names.
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "hotkeys/Hotkeys.h"
#include "platform/Clock.h"
#include "platform/Defaults.h"
#include "platform/HotkeyService.h"
#include "support/Wait.h"

namespace vuko {
namespace {

// Presses keys as a user would; false when xdotool could not do it.
bool press(const std::string& keys) {
  return std::system(("xdotool key " + keys).c_str()) == 0;
}

// The last X error on the test's own connections, instead of the default
// handler's exit.
int lastXError = 0;
int recordXError(Display*, XErrorEvent* e) {
  lastXError = e->error_code;
  return 0;
}

// A second X client, as another program on the desktop would be.
class OtherClient {
 public:
  OtherClient() : dpy_(XOpenDisplay(nullptr)) {}
  ~OtherClient() {
    if (dpy_) XCloseDisplay(dpy_);
  }
  explicit operator bool() const { return dpy_ != nullptr; }

  // The X error code of the grab (0 when it was granted).
  int grab(KeySym sym, unsigned mods) {
    // The handler is process-wide and the toolkit's error traps depend on its
    // own, so it is replaced only while this connection syncs.
    lastXError = 0;
    auto previous = XSetErrorHandler(&recordXError);
    XGrabKey(dpy_, XKeysymToKeycode(dpy_, sym), mods, DefaultRootWindow(dpy_), False, GrabModeAsync,
             GrabModeAsync);
    XSync(dpy_, False);
    XSetErrorHandler(previous);
    return lastXError;
  }

 private:
  Display* dpy_;
};

class HotkeyServiceTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs an X display";
    Clock::setMain(nullptr);
    HotkeyService::setShared(service);
  }
  void TearDown() override {
    hotkeys.reset();
    // Destroying the service releases its grabs for the next test.
    HotkeyService::setShared(nullptr);
    service.reset();
  }

  void start() {
    hotkeys =
        std::make_unique<Hotkeys>(Hotkeys::Actions{{"quick", [this](std::uint32_t) { ++quick; }},
                                                   {"focus", [this](std::uint32_t) { ++focus; }}},
                                  service, store);
  }

  std::shared_ptr<X11HotkeyService> service = std::make_shared<X11HotkeyService>();
  MemoryDefaults store;
  std::unique_ptr<Hotkeys> hotkeys;
  int quick = 0;
  int focus = 0;
};

// That a changed combination drops the old one is the core's, unit-tested.
TEST_F(HotkeyServiceTest, EachComboRunsItsOwnActionAndNoOther) {
  start();
  ASSERT_TRUE(press("ctrl+alt+space"));
  EXPECT_TRUE(test::waitUntil([&] { return quick == 1; }));
  // Other modifiers are other combinations; presses arrive in order, so once
  // the focus combination pressed after them fired, they are known to have not.
  ASSERT_TRUE(press("ctrl+space"));
  ASSERT_TRUE(press("ctrl+alt+shift+space"));
  ASSERT_TRUE(press("ctrl+alt+p"));
  EXPECT_TRUE(test::waitUntil([&] { return focus == 1; }));
  EXPECT_EQ(quick, 1);
  // Super sits on a modifier bit looked up from the keyboard map.
  hotkeys->set("quick", GlobalCombo("KeyK", false, false, true, true));
  ASSERT_TRUE(press("super+shift+k"));
  EXPECT_TRUE(test::waitUntil([&] { return quick == 2; }));
}

// A combination another program holds in any lock variant is refused, and the
// variants already grabbed for it are given back.
TEST_F(HotkeyServiceTest, AComboHeldByAnotherClientIsRefusedWhole) {
  OtherClient other;
  ASSERT_TRUE(other);
  // Only the Caps Lock variant is taken, so the plain one is grabbed first.
  ASSERT_EQ(other.grab(XK_q, ControlMask | LockMask), 0);
  auto reg = service->registerHotKey(12, GlobalCombo::controlKey, Hotkeys::signature, 1);
  EXPECT_NE(reg.status, HotkeyService::noErr);
  EXPECT_EQ(reg.ref, 0u);
  EXPECT_EQ(other.grab(XK_q, ControlMask), 0) << "a variant was left grabbed";
}

TEST_F(HotkeyServiceTest, EveryLockVariantIsHeldOnceAndReleased) {
  auto reg = service->registerHotKey(12, GlobalCombo::controlKey, Hotkeys::signature, 1);
  ASSERT_EQ(reg.status, HotkeyService::noErr);
  ASSERT_NE(reg.ref, 0u);
  // X would let the process grab it twice; a modifier outside the table is refused.
  EXPECT_EQ(service->registerHotKey(12, GlobalCombo::controlKey, Hotkeys::signature, 2).status,
            HotkeyService::eventHotKeyExistsErr);
  EXPECT_NE(service->registerHotKey(12, 0x0400, Hotkeys::signature, 3).status,
            HotkeyService::noErr);
  OtherClient other;
  ASSERT_TRUE(other);
  // Held with Caps Lock and Num Lock on too, so that it fires whatever the
  // locks; released whole.
  const unsigned locks[] = {0u, LockMask, Mod2Mask, LockMask | Mod2Mask};
  for (unsigned l : locks) EXPECT_NE(other.grab(XK_q, ControlMask | l), 0) << "not held: " << l;
  EXPECT_EQ(service->unregisterHotKey(reg.ref), HotkeyService::noErr);
  EXPECT_NE(service->unregisterHotKey(reg.ref), HotkeyService::noErr);
  for (unsigned l : locks) EXPECT_EQ(other.grab(XK_q, ControlMask | l), 0) << "still held: " << l;
}

}  // namespace
}  // namespace vuko
