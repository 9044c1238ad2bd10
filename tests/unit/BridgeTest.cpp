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

TEST(BridgeScript, BootstrapSetsTheChosenGlobalsAndNothingElse) {
  struct Case {
    std::string stored;
    bool reminders;
    const char* permission;
  };
  const Case cases[] = {
      {"default", true, "default"},
      {"granted", false, "granted"},
      {"denied", true, "denied"},
      {"'; alert(1); '", true, "default"},
      {"Granted", false, "default"},
      {"", true, "default"},
      {"granted ", true, "default"},
      {"denied\n", true, "default"},
      {"granted'); evil('", true, "default"},
  };
  for (const auto& c : cases) {
    Page page;
    page.eval(Bridge::bootstrapScript(c.stored, c.reminders));
    EXPECT_EQ(page.eval("[window.__vukoNotifyPermission, Notification.permission]"),
              json({c.permission, c.permission}))
        << c.stored;
    EXPECT_EQ(page.eval("window.vukoMacReminders"), c.reminders) << c.stored;
    EXPECT_EQ(page.eval("window.vukoMac"), true) << c.stored;
    EXPECT_EQ(page.posted(), json::array()) << c.stored;
    EXPECT_EQ(page.eval("called"), json::array()) << c.stored;
  }
}

TEST(BridgeScript, NotificationsPostWhatTheClientReads) {
  Page page;
  page.eval(Bridge::bootstrapScript("granted", true));
  page.eval(R"JS(
    new Notification('Купить хлеб', { body: 'к ужину', tag: 'rem7' });
    new Notification();
    new Notification(5, { body: 6 }).close();
  )JS");
  const json expected = json::array({
      {{"type", "notify"}, {"title", "Купить хлеб"}, {"body", "к ужину"}, {"tag", "rem7"}},
      {{"type", "notify"}, {"title", ""}, {"body", ""}, {"tag", ""}},
      {{"type", "notify"}, {"title", "5"}, {"body", "6"}, {"tag", ""}},
  });
  ASSERT_EQ(page.posted(), expected);
  for (const auto& m : expected) {
    auto parsed = Bridge::parse(m);
    ASSERT_TRUE(parsed) << m;
    EXPECT_EQ(parsed->type, Type::notify);
    EXPECT_EQ(parsed->title, m["title"]);
    EXPECT_EQ(parsed->body, m["body"]);
    EXPECT_EQ(parsed->tag, m["tag"]);
  }
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
      {"denied", true, "denied", "denied"},
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
    ASSERT_EQ(page.posted(), json::array({{{"type", "notifyPermission"}}})) << c.word;
    auto request = Bridge::parse(page.posted()[0]);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->type, Type::notifyPermission);

    EXPECT_EQ(page.eval(Bridge::permissionScript(c.word, c.answer)), true) << c.word;
    EXPECT_EQ(page.eval("[Notification.permission, fromCallback, fromPromise, events, called]"),
              json({c.permission, c.settled, c.settled, {"vukonotifypermission"}, json::array()}))
        << c.word << c.answer;
  }
  // A push with nobody waiting only updates the permission.
  Page page;
  page.eval(Bridge::bootstrapScript("default", true));
  EXPECT_EQ(page.eval(Bridge::permissionScript("granted", true)), true);
  EXPECT_EQ(page.eval("[Notification.permission, events]"),
            json({"granted", {"vukonotifypermission"}}));
}

TEST(BridgeScript, RemindersAndHotkeysPushes) {
  for (bool on : {true, false}) {
    Page page;
    page.eval(Bridge::bootstrapScript("default", !on));
    EXPECT_EQ(page.eval(Bridge::nativeRemindersScript(on)), true);
    EXPECT_EQ(page.eval("window.vukoMacReminders"), on);
  }

  json list = {{"quick", {{"code", "Space"}, {"ctrl", true}}}, {"show", nullptr}};
  Page page;
  page.eval(*Bridge::hotkeysScript(list));  // no listener yet: nothing happens
  page.eval("var got = []; window.__vukoMacHotkeys = (l) => { got.push(l); };");
  page.eval(*Bridge::hotkeysScript(list));
  EXPECT_EQ(page.eval("got"), json::array({list}));

  json unserialisable = {{"quick", {{"code", std::string("Key\xff\xfe")}}}};
  EXPECT_EQ(Bridge::hotkeysScript(unserialisable), std::nullopt);
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
    std::string word = (*it)[1];
    auto parsed = Bridge::parse({{"type", word}, {"id", "quick"}});
    ASSERT_TRUE(parsed) << word;
    seen.insert(int(parsed->type));
  }
  EXPECT_EQ(seen.size(), std::size_t(Type::resumeGlobalHotkeys) + 1);
}

TEST(BridgeMessage, MalformedMessagesAreIgnored) {
  const json cases[] = {
      json(nullptr),
      json("notify"),
      json(42),
      json::array({"notify"}),
      json::array({json{{"type", "notify"}}}),
      json::object(),
      json{{"title", "no type"}},
      json{{"type", nullptr}},
      json{{"type", 1}},
      json{{"type", json{{"name", "notify"}}}},
      json{{"type", "Notify"}},
      json{{"type", "notify "}},
      json{{"type", ""}},
      json{{"type", "openWindow"}},
      json{{"type", "setGlobalHotkey"}},
      json{{"type", "setGlobalHotkey"}, {"id", 3}},
      json{{"type", "setGlobalHotkey"}, {"id", nullptr}, {"combo", {{"code", "KeyA"}}}},
  };
  for (const auto& message : cases) EXPECT_FALSE(Bridge::parse(message).has_value()) << message;
}

TEST(BridgeMessage, NotifyMembersAreReadLeniently) {
  struct Case {
    json message;
    const char *title, *body, *tag;
  };
  const Case cases[] = {
      {{{"type", "notify"}}, "Vuko", "", ""},
      {{{"type", "notify"}, {"title", ""}}, "", "", ""},
      {{{"type", "notify"}, {"title", "Купить хлеб"}, {"body", "к ужину"}, {"tag", "rem7"}},
       "Купить хлеб",
       "к ужину",
       "rem7"},
      {{{"type", "notify"}, {"title", 5}, {"body", true}, {"tag", nullptr}}, "Vuko", "", ""},
      {{{"type", "notify"}, {"title", json::array()}, {"body", json::object()}}, "Vuko", "", ""},
  };
  for (const auto& c : cases) {
    auto parsed = Bridge::parse(c.message);
    ASSERT_TRUE(parsed) << c.message;
    EXPECT_EQ(parsed->title, c.title) << c.message;
    EXPECT_EQ(parsed->body, c.body) << c.message;
    EXPECT_EQ(parsed->tag, c.tag) << c.message;
  }
}

TEST(BridgeMessage, SetGlobalHotkeyCombos) {
  struct Case {
    json combo;  // discarded when it is the marker "absent"
    std::optional<json> expected;
  };
  const Case cases[] = {
      {"absent", std::nullopt},
      {nullptr, std::nullopt},
      {"KeyN", std::nullopt},
      {json::array({"KeyN"}), std::nullopt},
      {{{"ctrl", true}}, std::nullopt},
      {{{"code", 12}}, std::nullopt},
      {{{"code", "KeyN"}, {"meta", true}},
       json{{"code", "KeyN"}, {"ctrl", false}, {"alt", false}, {"shift", false}, {"meta", true}}},
      {{{"code", "Space"}, {"ctrl", true}, {"alt", "yes"}, {"shift", 1}, {"extra", 2}},
       json{{"code", "Space"}, {"ctrl", true}, {"alt", false}, {"shift", false}, {"meta", false}}},
  };
  for (const auto& c : cases) {
    json message = {{"type", "setGlobalHotkey"}, {"id", "quick"}};
    if (c.combo != "absent") message["combo"] = c.combo;
    auto parsed = Bridge::parse(message);
    ASSERT_TRUE(parsed) << message;
    EXPECT_EQ(parsed->id, "quick");
    EXPECT_EQ(parsed->combo, c.expected) << message;
  }
}

TEST(BridgeHotkeys, ListHasEveryIdWithNullOrItsMembersTitleAndRegistration) {
  auto registered = [](const std::string& id) { return id == "quick"; };
  json list = Bridge::hotkeyList({{"quick", GlobalCombo("Space", true, true)},
                                  {"show", std::nullopt},
                                  {"focus", GlobalCombo("KeyA", false, false)}},
                                 registered);
  json expected = {
      {"quick",
       {{"code", "Space"},
        {"ctrl", true},
        {"alt", true},
        {"shift", false},
        {"meta", false},
        {"title", "Ctrl+Alt+Пробел"},
        {"registered", true}}},
      {"show", nullptr},
      {"focus",
       {{"code", "KeyA"},
        {"ctrl", false},
        {"alt", false},
        {"shift", false},
        {"meta", false},
        {"title", "A"},
        {"registered", false}}},
  };
  EXPECT_EQ(list, expected);
  EXPECT_EQ(Bridge::hotkeyList({}, registered).dump(), "{}");
}

TEST(BridgeScript, AnAlertShowsTheTextAsItIs) {
  Page page;
  for (std::string text : {"Разрешите «Vuko»", "a'); evil('\n\"</script>"}) {
    EXPECT_EQ(page.eval(Bridge::alertScript(text)), true);
    EXPECT_EQ(page.eval("called.pop()"), json::array({text}));
  }
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

  d.setString("notifyPermission", "granted'); x('");
  EXPECT_EQ(Bridge::storedPermission(d), "default");
}

}  // namespace
}  // namespace vuko
