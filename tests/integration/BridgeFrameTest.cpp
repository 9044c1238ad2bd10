// Bridge messages from frames embedded in our pages: a cross-origin frame's
// messages are dropped, while the top page's still arrive.
#include <gtest/gtest.h>

#include "hotkeys/Hotkeys.h"
#include "support/RecordingHotkeyService.h"
#include "support/WebFixture.h"

namespace vuko::test {
namespace {

// Everything a foreign frame could try: the handler as pages use it, a
// message shaped like the shim's own, and the same through the top window.
const char* kForeignFrame =
    "<!doctype html><script>"
    "const tries = [];"
    "const attempt = (f) => { try { f(); tries.push('sent'); } catch (e) { tries.push(e.name); } };"
    "const notify = {type: 'notify', title: 'Чужой', body: 'из фрейма'};"
    "const hotkey = {type: 'setGlobalHotkey', id: 'quick',"
    "  combo: {code: 'KeyX', ctrl: true, alt: true, shift: false, meta: false}};"
    "for (const m of [notify, hotkey]) {"
    "  attempt(() => window.webkit.messageHandlers.vuko.postMessage(m));"
    "  attempt(() => top.postMessage({vukoBridge: m}, '*'));"
    "  attempt(() => top.webkit.messageHandlers.vuko.postMessage(m));"
    "}"
    "top.postMessage({frameDone: tries}, '*');"
    "</script>";

class BridgeFrameTest : public WebFixture {};

TEST_F(BridgeFrameTest, ACrossOriginFrameCannotPostWhileTheTopPageCan) {
  TestServer foreign;  // another port: another origin
  foreign.handle("/frame", [](const Received&) { return html(kForeignFrame); });
  start();
  std::vector<std::string> notified;
  controller->onNotify = [&](const std::string& t, const std::string&, const std::string&) {
    notified.push_back(t);
  };
  int tasksChanged = 0;
  controller->onTasksChanged = [&] { ++tasksChanged; };
  auto service = std::make_shared<RecordingHotkeyService>();
  Hotkeys hotkeys(Hotkeys::Actions{}, service, *store);
  controller->hotkeys = &hotkeys;
  auto before = hotkeys.all();

  ASSERT_TRUE(showPage("/framed",
                       "<!doctype html><body><script>window.frameDone = null;"
                       "addEventListener('message', (e) => { if (e.data && e.data.frameDone)"
                       " window.frameDone = e.data.frameDone; });</script>"
                       "<iframe src='" +
                           foreign.url() + "/frame'></iframe></body>"));
  ASSERT_TRUE(waitUntil([&] {
    auto v = eval("window.frameDone");
    return v && v->is_array();
  })) << "the frame ran";
  std::printf("frame's attempts: %s\n", eval("window.frameDone")->dump().c_str());

  // The top page's messages still arrive, after anything the frame sent.
  eval(post("{type: 'notify', title: 'Свой'}"));
  eval(post("{type: 'tasksChanged'}"));
  ASSERT_TRUE(waitUntil([&] { return tasksChanged == 1; }));
  EXPECT_EQ(notified, std::vector<std::string>{"Свой"});
  EXPECT_EQ(hotkeys.all(), before) << "the frame rebound no hot key";

  eval(
      post("{type: 'setGlobalHotkey', id: 'quick', combo: {code: 'KeyN', ctrl: true, alt: true,"
           " shift: false, meta: false}}"));
  eval(post("{type: 'tasksChanged'}"));
  ASSERT_TRUE(waitUntil([&] { return tasksChanged == 2; }));
  ASSERT_TRUE(hotkeys.combo("quick").has_value());
  EXPECT_EQ(hotkeys.combo("quick")->code, "KeyN");
  controller->hotkeys = nullptr;
}

}  // namespace
}  // namespace vuko::test
