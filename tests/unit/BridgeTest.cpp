#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>

#include "ScriptPage.h"
#include "platform/Defaults.h"
#include "web/Bridge.h"
#include "web/OfflinePage.h"

namespace vuko {
namespace {

using nlohmann::json;
using test::Page;
using Type = Bridge::Message::Type;

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

TEST(BridgeScript, NotificationsPostWhatTheClientReads) {
  Page page;
  page.eval(Bridge::bootstrapScript("granted", true));
  page.eval(R"JS(
    new Notification('Купить хлеб', { body: 'к ужину', tag: 'rem7' });
    new Notification(5, { body: 6 }).close();
  )JS");
  EXPECT_EQ(
      page.posted(),
      json::array({
          {{"type", "notify"}, {"title", "Купить хлеб"}, {"body", "к ужину"}, {"tag", "rem7"}},
          {{"type", "notify"}, {"title", "5"}, {"body", "6"}, {"tag", ""}},
      }));
}

TEST(BridgeScript, APermissionRequestIsSettledByThePermissionPush) {
  struct Case {
    const char* word;
    bool answer;
    const char* permission;
    json settled;  // what the callback and the promise got; null while pending
  };
  const Case cases[] = {
      {"granted", true, "granted", "granted"},
      {"denied", false, "denied", nullptr},
      {"x'); evil('", true, "default", "default"},
  };
  for (const auto& c : cases) {
    Page page;
    page.eval(Bridge::bootstrapScript("default", true));
    page.eval(R"JS(
      var fromCallback = null, fromPromise = null;
      Notification.requestPermission((p) => { fromCallback = p; }).then((p) => { fromPromise = p; });
    )JS");
    EXPECT_EQ(Bridge::parse(page.posted()[0])->type, Type::notifyPermission);
    EXPECT_EQ(page.eval(Bridge::permissionScript(c.word, c.answer)), true) << c.word;
    EXPECT_EQ(page.eval("[Notification.permission, fromCallback, fromPromise, events, called]"),
              json({c.permission, c.settled, c.settled, {"vukonotifypermission"}, json::array()}))
        << c.word << c.answer;
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

// Every message type the client acts on is one that some page posts: the
// bootstrap script, the offline page or the stand-in server's web application.
TEST(BridgeMessage, EveryTypeIsPostedBySomePageAndRecognised) {
  std::string sources = Bridge::bootstrapScript("default", true) + offlinePage("x", "http://h");
  for (const auto& entry : std::filesystem::directory_iterator(VUKO_SOURCE_DIR "/devserver/web")) {
    if (entry.path().extension() != ".js") continue;
    std::ifstream in(entry.path());
    sources += std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::regex posting(R"(post(?:Message)?\(\{\s*type:\s*'(\w+)')");
  std::set<int> seen;
  for (std::sregex_iterator it(sources.begin(), sources.end(), posting), end; it != end; ++it) {
    auto parsed = Bridge::parse({{"type", (*it)[1]}, {"id", "quick"}});
    ASSERT_TRUE(parsed) << (*it)[1];
    seen.insert(int(parsed->type));
  }
  EXPECT_EQ(seen.size(), std::size_t(Type::resumeGlobalHotkeys) + 1);
}

TEST(BridgeMessage, MalformedMessagesAreIgnored) {
  const json cases[] = {
      json(nullptr),
      json("notify"),
      json::array({json{{"type", "notify"}}}),
      json::object(),
      json{{"type", 1}},
      json{{"type", json{{"name", "notify"}}}},
      json{{"type", "Notify"}},
      json{{"type", "notify "}},
      json{{"type", "openWindow"}},
      json{{"type", "setGlobalHotkey"}},
      json{{"type", "setGlobalHotkey"}, {"id", 3}},
  };
  for (const auto& message : cases) EXPECT_FALSE(Bridge::parse(message).has_value()) << message;
}

// Members are read leniently: missing or of another type means the default.
TEST(BridgeMessage, MembersAreReadLeniently) {
  const std::pair<json, json> cases[] = {
      {{{"type", "notify"}}, {"Vuko", "", ""}},
      {{{"type", "notify"}, {"title", ""}, {"body", "к ужину"}, {"tag", "rem7"}},
       {"", "к ужину", "rem7"}},
      {{{"type", "notify"}, {"title", 5}, {"body", true}, {"tag", nullptr}}, {"Vuko", "", ""}},
      {{{"type", "setGlobalHotkey"}, {"id", "quick"}}, {"quick", nullptr}},
      {{{"type", "setGlobalHotkey"}, {"id", "quick"}, {"combo", {{"ctrl", true}}}},
       {"quick", nullptr}},
      {{{"type", "setGlobalHotkey"}, {"id", "quick"}, {"combo", {{"code", 12}}}},
       {"quick", nullptr}},
      {{{"type", "setGlobalHotkey"},
        {"id", "show"},
        {"combo", {{"code", "Space"}, {"ctrl", true}, {"alt", "yes"}, {"meta", 1}, {"x", 2}}}},
       {"show",
        {{"code", "Space"}, {"ctrl", true}, {"alt", false}, {"shift", false}, {"meta", false}}}},
  };
  for (const auto& [message, expected] : cases) {
    auto m = Bridge::parse(message);
    ASSERT_TRUE(m) << message;
    json got = m->type == Type::notify ? json{m->title, m->body, m->tag}
                                       : json{*m->id, m->combo ? *m->combo : json(nullptr)};
    EXPECT_EQ(got, expected) << message;
  }
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
  EXPECT_EQ(Bridge::storedPermission(d), "default");
  EXPECT_TRUE(Bridge::storedNativeReminders(d));
  d.setString("notifyPermission", "granted");
  d.setBool("nativeReminders", false);
  EXPECT_EQ(Bridge::storedPermission(d), "granted");
  EXPECT_FALSE(Bridge::storedNativeReminders(d));
  d.setValue("notifyPermission", 1);
  d.setValue("nativeReminders", "false");
  EXPECT_EQ(Bridge::storedPermission(d), "default");
  EXPECT_TRUE(Bridge::storedNativeReminders(d));
}

}  // namespace
}  // namespace vuko
