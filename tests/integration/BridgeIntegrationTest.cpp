// The page bridge in a real web view: what the page's first script sees, and
// which pages and frames may drive the client. What each message does is
// unit-tested.
#include "support/WebFixture.h"
#include "web/NavigationPolicy.h"

using namespace vuko;
using namespace vuko::test;
using nlohmann::json;

namespace {

// Records what the page's own first script sees of the bootstrap.
const char* kFirstScript =
    "<!doctype html><html><head><script>"
    "window.seen = { mac: window.vukoMac, reminders: window.vukoMacReminders,"
    " permission: Notification.permission, notification: Notification.name };"
    "</script></head><body><p>first</p></body></html>";

// Everything a foreign frame could try: the handler as pages use it, a
// message shaped like the shim's own, and the same through the top window.
const char* kForeignFrame =
    "<!doctype html><script>"
    "const tries = [];"
    "const attempt = (f) => { try { f(); tries.push('sent'); } catch (e) { tries.push(e.name); } };"
    "const m = {type: 'notify', title: 'Чужой', body: 'из фрейма'};"
    "attempt(() => window.webkit.messageHandlers.vuko.postMessage(m));"
    "attempt(() => top.postMessage({vukoBridge: m}, '*'));"
    "attempt(() => top.webkit.messageHandlers.vuko.postMessage(m));"
    "top.postMessage({frameDone: tries}, '*');"
    "</script>";

class BridgeIntegrationTest : public WebFixture {
 protected:
  void listen() {
    controller->onNotify = [this](const std::string& t, const std::string&, const std::string&) {
      notified.push_back(t);
    };
    controller->onTasksChanged = [this] { ++tasksChanged; };
    controller->onChooseServer = [this] { ++chooseServer; };
  }

  std::vector<std::string> notified;
  int tasksChanged = 0, chooseServer = 0;
};

// Which stored values the bootstrap carries is unit-tested; here the page's
// first script must see it, and a change must reach the open page at once
// and the next page from its first line.
TEST_F(BridgeIntegrationTest, FirstScriptSeesTheBootstrapAndLaterChanges) {
  start();
  ASSERT_TRUE(showPage("/first", kFirstScript));
  EXPECT_EQ(eval("window.seen"), json({{"mac", true},
                                       {"reminders", true},
                                       {"permission", "default"},
                                       {"notification", "VukoNotification"}}));
  controller->setNativeReminders(false);
  EXPECT_TRUE(waitForValue("window.vukoMacReminders", false));
  controller->reload();
  EXPECT_TRUE(waitForValue("window.seen && window.seen.reminders", false));
}

// A sign-in page shown in the window cannot drive the client; the same page
// served by the task server can.
TEST_F(BridgeIntegrationTest, SignInPagesCannotDriveTheClientButOursCan) {
  start();
  listen();
  const std::string signIn = "https://" + *Navigation::authHosts().begin() + "/";
  const std::string page = "<script>" + post("{type: 'chooseServer'}") + ";" +
                           post("{type: 'notify', title: 'page'}") +
                           "; window.posted = true;</script>";
  webkit_web_view_load_html(controller->webView(), page.c_str(), signIn.c_str());
  ASSERT_TRUE(waitForUri(signIn));
  ASSERT_EQ(eval("window.posted"), json(true));
  eval(post("{type: 'tasksChanged'}"));

  // Messages arrive in order, so the sign-in page's would have come before
  // the last one here.
  ASSERT_TRUE(showPage("/ours", page));
  eval("new Notification('last'); true");
  ASSERT_TRUE(waitUntil([&] { return !notified.empty() && notified.back() == "last"; }));
  EXPECT_EQ(notified, (std::vector<std::string>{"page", "last"}));
  EXPECT_EQ(chooseServer, 1);
  EXPECT_EQ(tasksChanged, 0);
}

TEST_F(BridgeIntegrationTest, ACrossOriginFrameCannotPostWhileTheTopPageCan) {
  TestServer foreign;  // another port: another origin
  foreign.handle("/frame", [](const Received&) { return html(kForeignFrame); });
  start();
  listen();
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

  // The top page's messages still arrive, after anything the frame sent.
  eval(post("{type: 'notify', title: 'Свой'}"));
  eval(post("{type: 'tasksChanged'}"));
  ASSERT_TRUE(waitUntil([&] { return tasksChanged == 1; }));
  EXPECT_EQ(notified, std::vector<std::string>{"Свой"}) << *eval("window.frameDone");
}

}  // namespace
