// The page bridge in a real web view: what the page's first script sees, what
// each message does, and the pushes back into the page.
#include <memory>
#include <tuple>

#include "hotkeys/Hotkeys.h"
#include "support/RecordingHotkeyService.h"
#include "support/WebFixture.h"
#include "web/Bridge.h"
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

// A page that keeps every hot-key list and permission event it receives.
const char* kListeningPage =
    "<!doctype html><script>window.lists = []; window.events = 0;"
    "window.__vukoMacHotkeys = (l) => window.lists.push(l);"
    "addEventListener('vukonotifypermission', () => window.events++);"
    "</script>";

class BridgeIntegrationTest : public WebFixture {
 protected:
  using Notified = std::tuple<std::string, std::string, std::string>;

  void listen() {
    controller->onNotify = [this](const std::string& t, const std::string& b,
                                  const std::string& g) { notified.emplace_back(t, b, g); };
    controller->onAskPermission = [this] { ++asked; };
    controller->onTasksChanged = [this] { ++tasksChanged; };
    controller->onChooseServer = [this] { ++chooseServer; };
  }

  // Messages are handled in the order they are posted: once a later
  // "tasksChanged" has arrived, every earlier message has had its effect.
  void postAndSettle(const std::string& script, WebKitWebView* view = nullptr) {
    int before = tasksChanged;
    eval(script, view);
    eval(post("{type: 'tasksChanged'}"), view);
    ASSERT_TRUE(waitUntil([&] { return tasksChanged == before + 1; }));
  }

  void makeHotkeys() {
    service = std::make_shared<RecordingHotkeyService>();
    hotkeys = std::make_unique<Hotkeys>(Hotkeys::Actions{}, service, *store);
    controller->hotkeys = hotkeys.get();
  }

  json expectedList() const {
    return Bridge::hotkeyList(hotkeys->all(),
                              [this](const std::string& id) { return hotkeys->registered(id); });
  }

  std::vector<Notified> notified;
  int asked = 0, tasksChanged = 0, chooseServer = 0;
  std::shared_ptr<RecordingHotkeyService> service;
  std::unique_ptr<Hotkeys> hotkeys;
};

TEST_F(BridgeIntegrationTest, FirstScriptSeesTheStoredValues) {
  struct Case {
    std::optional<std::string> permission;
    std::optional<bool> reminders;
    const char* seenPermission;
    bool seenReminders;
  };
  const std::vector<Case> cases{
      {std::nullopt, std::nullopt, "default", true},
      {"granted", false, "granted", false},
  };
  server.handle("/first", [](const Received&) { return html(kFirstScript); });
  for (const auto& c : cases) {
    SCOPED_TRACE(c.seenPermission);
    controller.reset();
    store = std::make_shared<MemoryDefaults>();
    Defaults::setStandard(store);
    if (c.permission) store->setString("notifyPermission", *c.permission);
    if (c.reminders) store->setBool("nativeReminders", *c.reminders);
    start();
    controller->load("/first");
    ASSERT_TRUE(waitForUri(server.url() + "/first"));
    EXPECT_EQ(eval("window.seen"), json({{"mac", true},
                                         {"reminders", c.seenReminders},
                                         {"permission", c.seenPermission},
                                         {"notification", "VukoNotification"}}));
  }
}

TEST_F(BridgeIntegrationTest,
       NativeRemindersOffReachesThePageAtOnceAndFromTheFirstLineAfterReload) {
  server.handle("/first", [](const Received&) { return html(kFirstScript); });
  start();
  controller->load("/first");
  ASSERT_TRUE(waitForUri(server.url() + "/first"));
  ASSERT_EQ(eval("window.seen.reminders"), json(true));

  controller->setNativeReminders(false);
  EXPECT_EQ(store->boolean("nativeReminders"), std::optional<bool>(false));
  EXPECT_TRUE(waitForValue("window.vukoMacReminders", false));
  EXPECT_EQ(eval("window.seen.reminders"), json(true));  // the page's own copy stays

  controller->reload();
  ASSERT_TRUE(waitForValue("window.seen && window.seen.reminders", false));

  controller->setNativeReminders(true);
  controller->reload();
  EXPECT_TRUE(waitForValue("window.seen && window.seen.reminders", true));
}

TEST_F(BridgeIntegrationTest, NotificationsReachTheClient) {
  start();
  listen();
  struct Case {
    std::string name, script;
    Notified expected;
  };
  const std::vector<Case> cases{
      {"constructed",
       "new Notification('Задача', {body: 'Купить хлеб', tag: 't1'}); true",
       {"Задача", "Купить хлеб", "t1"}},
      {"posted with only its type", post("{type: 'notify'}"), {"Vuko", "", ""}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    notified.clear();
    postAndSettle(c.script);
    EXPECT_EQ(notified, std::vector<Notified>{c.expected});
  }
}

TEST_F(BridgeIntegrationTest, MessagesWithoutMembersCallTheirCallbacks) {
  start();
  // Without their callbacks these messages are no-ops, and the page goes on.
  controller->onTasksChanged = [this] { ++tasksChanged; };
  postAndSettle(post("{type: 'chooseServer'}") +
                "; Notification.requestPermission(); new Notification('x'); true");
  listen();
  eval(post("{type: 'chooseServer'}"));
  EXPECT_TRUE(waitUntil([&] { return chooseServer == 1; }));
  eval("Notification.requestPermission(); true");
  EXPECT_TRUE(waitUntil([&] { return asked == 1; }));
  eval(post("{type: 'notifyPermission', extra: true}"));
  EXPECT_TRUE(waitUntil([&] { return asked == 2; }));
  EXPECT_TRUE(notified.empty());
  EXPECT_EQ(tasksChanged, 1);  // the earlier settling message
  eval(post("{type: 'tasksChanged'}"));
  EXPECT_TRUE(waitUntil([&] { return tasksChanged == 2; }));
}

TEST_F(BridgeIntegrationTest, RetryProbesAgainAndOpensToday) {
  start();
  ASSERT_TRUE(showPage("/elsewhere", "<p>elsewhere</p>"));
  size_t probes = requestCount("/api/health");
  eval(post("{type: 'retry'}"));
  EXPECT_TRUE(waitForUri(server.url() + "/today"));
  EXPECT_EQ(requestCount("/api/health"), probes + 1);
  EXPECT_FALSE(controller->offline());
}

TEST_F(BridgeIntegrationTest, PermissionAnswerResolvesOnlyTheLatestRequest) {
  start();
  listen();
  ASSERT_TRUE(showPage("/listening", kListeningPage));
  eval(
      "Notification.requestPermission().then((p) => window.first = p);"
      "Notification.requestPermission((p) => window.callback = p).then((p) => window.second = p);"
      "true");
  ASSERT_TRUE(waitUntil([&] { return asked == 2; }));

  controller->setNotifyPermission("granted", true);
  EXPECT_EQ(store->string("notifyPermission"), std::optional<std::string>("granted"));
  ASSERT_TRUE(waitForValue("window.second || null", "granted"));
  // Both promises would have settled in the same turn; the first never does.
  EXPECT_EQ(
      eval("[window.first === undefined, window.callback, Notification.permission, window.events]"),
      json::array({true, "granted", "granted", 1}));

  // Without an answer the permission changes and the event fires, but a
  // pending request stays pending.
  eval("Notification.requestPermission().then((p) => window.third = p); true");
  ASSERT_TRUE(waitUntil([&] { return asked == 3; }));
  controller->setNotifyPermission("denied");
  ASSERT_TRUE(waitForValue("window.events", 2));
  EXPECT_EQ(
      eval("[window.third === undefined, Notification.permission, window.__vukoNotifyPermission]"),
      json::array({true, "denied", "denied"}));

  // The next page starts with the stored permission.
  controller->reload();
  ASSERT_TRUE(waitForValue("window.lists !== undefined && Notification.permission", "denied"));
}

TEST_F(BridgeIntegrationTest, HotkeysAreListedSetClearedPausedAndResumed) {
  start();
  listen();
  makeHotkeys();
  ASSERT_TRUE(showPage("/listening", kListeningPage));
  // "show" has no combination until the user chooses one.
  ASSERT_EQ(service->live.size(), 2u);

  eval(post("{type: 'getGlobalHotkeys'}"));
  ASSERT_TRUE(waitForValue("window.lists.length", 1));
  EXPECT_EQ(eval("window.lists[0]"), expectedList());
  EXPECT_EQ(eval("Object.keys(window.lists[0]).sort()"), json::array({"focus", "quick", "show"}));

  eval(post("{type: 'setGlobalHotkey', id: 'quick', combo: {code: 'KeyN', meta: true, extra: 1}}"));
  ASSERT_TRUE(waitForValue("window.lists.length", 2));
  EXPECT_EQ(hotkeys->combo("quick"),
            std::optional<GlobalCombo>(GlobalCombo("KeyN", false, false, false, true)));
  EXPECT_EQ(eval("window.lists[1].quick"), json({{"code", "KeyN"},
                                                 {"ctrl", false},
                                                 {"alt", false},
                                                 {"shift", false},
                                                 {"meta", true},
                                                 {"title", "Super+N"},
                                                 {"registered", true}}));
  EXPECT_EQ(eval("window.lists[1]"), expectedList());

  eval(post("{type: 'setGlobalHotkey', id: 'focus', combo: null}"));
  ASSERT_TRUE(waitForValue("window.lists.length", 3));
  EXPECT_EQ(hotkeys->combo("focus"), std::nullopt);
  EXPECT_EQ(eval("window.lists[2].focus"), json(nullptr));
  EXPECT_EQ(eval("window.lists[2].quick.code"), json("KeyN"));
  EXPECT_EQ(service->live.size(), 1u);

  eval(post("{type: 'pauseGlobalHotkeys'}"));
  ASSERT_TRUE(waitUntil([&] { return service->live.empty(); }));
  eval(post("{type: 'resumeGlobalHotkeys'}"));
  ASSERT_TRUE(waitUntil([&] { return service->live.size() == 1; }));
  EXPECT_EQ(service->numbers(), std::multiset<std::uint32_t>{Hotkeys::ids().at("quick")});

  // Without a registry the hot-key messages do nothing.
  controller->hotkeys = nullptr;
  postAndSettle(post("{type: 'getGlobalHotkeys'}") + ";" +
                post("{type: 'setGlobalHotkey', id: 'quick', combo: null}") + ";" +
                post("{type: 'pauseGlobalHotkeys'}"));
  EXPECT_EQ(eval("window.lists.length"), json(3));
  EXPECT_EQ(service->live.size(), 1u);
}

TEST_F(BridgeIntegrationTest, SignInPagesCannotDriveTheClientButOurAndTheOfflinePageCan) {
  start();
  listen();
  const std::string signIn = "https://" + *Navigation::authHosts().begin() + "/";
  const std::string page = "<script>" + post("{type: 'chooseServer'}") + ";" +
                           post("{type: 'notify'}") + "; window.posted = true;</script>";
  webkit_web_view_load_html(controller->webView(), page.c_str(), signIn.c_str());
  ASSERT_TRUE(waitForUri(signIn));
  ASSERT_EQ(eval("window.posted"), json(true));
  eval(post("{type: 'tasksChanged'}") + "; Notification.requestPermission(); true");

  // The same page served by the task server does drive it. Messages arrive
  // in order, so the sign-in page's would have come before the last one here.
  ASSERT_TRUE(showPage("/ours", page));
  eval("new Notification('last'); true");
  ASSERT_TRUE(
      waitUntil([&] { return !notified.empty() && std::get<0>(notified.back()) == "last"; }));
  EXPECT_EQ(chooseServer, 1);
  EXPECT_EQ(notified.size(), 2u);
  EXPECT_EQ(tasksChanged, 0);
  EXPECT_EQ(asked, 0);

  // So does the offline page.
  Settings::setServer(*Url::parse("http://127.0.0.1:" + std::to_string(TestServer::closedPort())));
  controller->open("/today");
  ASSERT_TRUE(waitUntil(
      [&] { return controller->offline() && !webkit_web_view_is_loading(controller->webView()); }));
  eval(post("{type: 'tasksChanged'}"));
  EXPECT_TRUE(waitUntil([&] { return tasksChanged == 1; }));
}

}  // namespace
