#include <gtest/gtest.h>

#include <string>

#include "ScriptPage.h"
#include "support/SettingsScope.h"
#include "web/Bridge.h"
#include "web/PageMessages.h"

namespace vuko {
namespace {

using nlohmann::json;
using test::Page;
using Log = std::vector<std::string>;

constexpr const char* kPage = "http://tasks.company.example:8080/today";

// The stored permission comes from a file anyone can edit and goes into the
// script between quotes: only the three known words may reach the page.
TEST(BridgeScript, BootstrapSetsTheChosenGlobalsAndNothingElse) {
  const std::pair<const char*, const char*> cases[] = {
      {"granted", "granted"}, {"denied", "denied"},    {"'; alert(1); '", "default"},
      {"Granted", "default"}, {"granted ", "default"}, {"granted'); evil('", "default"},
  };
  bool reminders = false;
  for (const auto& [stored, permission] : cases) {
    reminders = !reminders;
    Page page;
    page.eval(Bridge::bootstrapScript(stored, reminders));
    EXPECT_EQ(page.eval("[Notification.permission, vukoMacReminders, vukoMac, posted, called]"),
              json({permission, reminders, true, json::array(), json::array()}))
        << stored;
  }
}

TEST(BridgeScript, APermissionRequestIsSettledByThePermissionPush) {
  const std::tuple<const char*, bool, const char*, json> cases[] = {
      // The word pushed, whether it answers the request, the permission and
      // what the callback and the promise got (null while pending).
      {"granted", true, "granted", "granted"},
      {"denied", false, "denied", nullptr},
      {"x'); evil('", true, "default", "default"},
  };
  for (const auto& [word, answer, permission, settled] : cases) {
    Page page;
    page.eval(Bridge::bootstrapScript("default", true));
    page.eval(R"JS(
      var fromCallback = null, fromPromise = null;
      Notification.requestPermission((p) => { fromCallback = p; }).then((p) => { fromPromise = p; });
    )JS");
    EXPECT_EQ(page.eval(Bridge::permissionScript(word, answer)), true) << word;
    EXPECT_EQ(page.eval("[Notification.permission, fromCallback, fromPromise, events, called]"),
              json({permission, settled, settled, {"vukonotifypermission"}, json::array()}))
        << word << answer;
  }
}

TEST(BridgeScript, RemindersHotkeysAndAlertPushes) {
  Page page;
  page.eval(Bridge::bootstrapScript("default", true));
  EXPECT_EQ(page.eval(Bridge::nativeRemindersScript(false)), true);
  EXPECT_EQ(page.eval("window.vukoMacReminders"), false);

  json list = {{"quick", {{"code", "Space"}, {"ctrl", true}}}, {"show", nullptr}};
  page.eval(*Bridge::hotkeysScript(list));  // no listener yet: nothing happens
  page.eval("var got = []; window.__vukoMacHotkeys = (l) => { got.push(l); };");
  page.eval(*Bridge::hotkeysScript(list));
  EXPECT_EQ(page.eval("got"), json::array({list}));
  EXPECT_EQ(Bridge::hotkeysScript({{"quick", {{"code", std::string("Key\xff")}}}}), std::nullopt);

  const std::string text = "a'); evil('\n\"</script>";
  EXPECT_EQ(page.eval(Bridge::alertScript(text)), true);
  EXPECT_EQ(page.eval("called"), json::array({json::array({text})}));
}

TEST(BridgeHotkeys, ListHasEveryIdWithNullOrItsMembersTitleAndRegistration) {
  json list = Bridge::hotkeyList({{"quick", GlobalCombo("Space", true, true)},
                                  {"show", std::nullopt},
                                  {"focus", GlobalCombo("KeyA", false, false)}},
                                 [](const std::string& id) { return id == "quick"; });
  EXPECT_EQ(list, json::parse(R"({
    "quick": {"code": "Space", "ctrl": true, "alt": true, "shift": false, "meta": false,
              "title": "Ctrl+Alt+Пробел", "registered": true},
    "show": null,
    "focus": {"code": "KeyA", "ctrl": false, "alt": false, "shift": false, "meta": false,
              "title": "A", "registered": false}})"));
}

TEST(BridgeStored, PermissionAndRemindersDefaults) {
  MemoryDefaults d;
  d.setValue("nativeReminders", "false");  // of the wrong type: the default
  EXPECT_EQ(Bridge::storedPermission(d), "default");
  EXPECT_TRUE(Bridge::storedNativeReminders(d));
  d.setString("notifyPermission", "granted");
  d.setBool("nativeReminders", false);
  EXPECT_EQ(Bridge::storedPermission(d), "granted");
  EXPECT_FALSE(Bridge::storedNativeReminders(d));
}

// The messages pages post, as the window's controller routes them: handlers
// write what reached them into one log.
class BridgeMessagesTest : public testing::Test {
 protected:
  bool post(const json& message, std::optional<Url> from = Url::parse(kPage),
            bool offline = false) {
    auto note = [this](const char* what) { return [this, what] { log.push_back(what); }; };
    PageMessages router({
        .notify = [this](const std::string& title, const std::string& body,
                         const std::string& tag) { log.push_back(title + "|" + body + "|" + tag); },
        .askPermission = note("askPermission"),
        .tasksChanged = note("tasksChanged"),
        .retry = note("retry"),
        .chooseServer = note("chooseServer"),
        .sendHotkeys = note("sendHotkeys"),
        .setHotkey =
            [this](const std::string& id, const std::optional<GlobalCombo>& combo) {
              log.push_back(id + " " + (combo ? combo->title() : "none"));
            },
        .pauseHotkeys = note("pause"),
        .resumeHotkeys = note("resume"),
    });
    return router.route(from, offline, message);
  }

  test::SettingsScope settings{"http://tasks.company.example:8080"};
  Log log;
};

TEST_F(BridgeMessagesTest, WhatTheBootstrapScriptPostsReachesItsHandler) {
  Page page;
  page.eval(Bridge::bootstrapScript("default", true));
  page.eval(R"JS(
    new Notification('Купить хлеб', { body: 'к ужину', tag: 'rem7' });
    new Notification(5, { body: 6 }).close();
    Notification.requestPermission();
  )JS");
  for (const auto& message : page.eval("posted")) EXPECT_TRUE(post(message)) << message;
  EXPECT_EQ(log, (Log{"Купить хлеб|к ужину|rem7", "5|6|", "askPermission"}));
}

// Members are read leniently: missing or of another type means the default.
// An unset handler drops its message.
TEST_F(BridgeMessagesTest, EachMessageReachesItsHandler) {
  const json combo = {{"code", "KeyK"}, {"ctrl", true}, {"alt", "yes"}, {"meta", 1}, {"x", 2}};
  const std::pair<json, Log> cases[] = {
      {{{"type", "notify"}}, {"Vuko||"}},
      {{{"type", "notify"}, {"title", ""}, {"body", true}, {"tag", nullptr}}, {"||"}},
      {{{"type", "notifyPermission"}}, {"askPermission"}},
      {{{"type", "tasksChanged"}}, {"tasksChanged"}},
      {{{"type", "retry"}}, {"retry"}},
      {{{"type", "chooseServer"}}, {"chooseServer"}},
      {{{"type", "getGlobalHotkeys"}}, {"sendHotkeys"}},
      {{{"type", "pauseGlobalHotkeys"}}, {"pause"}},
      {{{"type", "resumeGlobalHotkeys"}}, {"resume"}},
      // The page shows what the system took, which may differ from the ask.
      {{{"type", "setGlobalHotkey"}, {"id", "quick"}, {"combo", combo}},
       {"quick Ctrl+K", "sendHotkeys"}},
      {{{"type", "setGlobalHotkey"}, {"id", "show"}}, {"show none", "sendHotkeys"}},
      {{{"type", "setGlobalHotkey"}, {"id", "show"}, {"combo", {{"code", 12}}}},
       {"show none", "sendHotkeys"}},
  };
  for (const auto& [body, reached] : cases) {
    log.clear();
    EXPECT_TRUE(post(body)) << body;
    EXPECT_EQ(log, reached) << body;
    EXPECT_TRUE(PageMessages({}).route(Url::parse(kPage), false, body)) << "unset handlers drop it";
  }
}

// Only our own pages may drive the client: a sign-in page shown in the window
// must not rebind hot keys or post notifications. The offline page has no
// address of its own.
TEST_F(BridgeMessagesTest, MalformedMessagesAndForeignPagesAreDropped) {
  for (const json& body :
       {json(nullptr), json("notify"), json::array({json{{"type", "notify"}}}), json::object(),
        json{{"type", 1}}, json{{"type", json{{"name", "notify"}}}}, json{{"type", "Notify"}},
        json{{"type", "notify "}}, json{{"type", "openWindow"}}, json{{"type", "setGlobalHotkey"}},
        json{{"type", "setGlobalHotkey"}, {"id", 3}}})
    EXPECT_FALSE(post(body)) << body;
  const json pause = {{"type", "pauseGlobalHotkeys"}};
  EXPECT_FALSE(post(pause, Url::parse("https://id.company.example/login")));
  EXPECT_FALSE(post(pause, Url::parse("https://id.company.example/login"), true));
  EXPECT_FALSE(post(pause, std::nullopt));
  EXPECT_TRUE(log.empty());
  EXPECT_TRUE(post(pause, std::nullopt, true));
  EXPECT_EQ(log, Log{"pause"});
}

}  // namespace
}  // namespace vuko
