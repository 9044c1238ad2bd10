#include <gtest/gtest.h>

#include <string>

#include "platform/Defaults.h"
#include "web/Bridge.h"

namespace vuko {
namespace {

using nlohmann::json;
using Type = Bridge::Message::Type;

// The page relies on this text; it is written out here rather than derived.
constexpr const char* kDefaultOn = R"((function () {
  const post = (m) => { try { window.webkit.messageHandlers.vuko.postMessage(m); } catch (_) {} };
  window.__vukoNotifyPermission = 'default';
  window.vukoMacReminders = true;
  class VukoNotification {
    constructor(title, opts) { opts = opts || {}; post({ type: 'notify', title: String(title || ''), body: String(opts.body || ''), tag: String(opts.tag || '') }); }
    static get permission() { return window.__vukoNotifyPermission; }
    static requestPermission(cb) {
      return new Promise((res) => { window.__vukoNotifyResolve = (p) => { if (cb) cb(p); res(p); }; post({ type: 'notifyPermission' }); });
    }
    close() {}
  }
  window.Notification = VukoNotification;
  window.vukoMac = true;
})();
)";

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  auto at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

TEST(BridgeScript, BootstrapIsExactWithDefaultPermissionAndRemindersOn) {
  EXPECT_EQ(Bridge::bootstrapScript("default", true), kDefaultOn);
}

TEST(BridgeScript, BootstrapCarriesGrantedAndRemindersOff) {
  std::string expected = replaced(kDefaultOn, "Permission = 'default';", "Permission = 'granted';");
  expected = replaced(expected, "vukoMacReminders = true;", "vukoMacReminders = false;");
  EXPECT_EQ(Bridge::bootstrapScript("granted", false), expected);
}

TEST(BridgeScript, BootstrapNeverCarriesAnUnknownPermissionWord) {
  for (const char* stored : {"'; alert(1); '", "Granted", "", "granted ", "denied\n"}) {
    EXPECT_EQ(Bridge::bootstrapScript(stored, true), kDefaultOn) << stored;
  }
  std::string denied = replaced(kDefaultOn, "'default'", "'denied'");
  EXPECT_EQ(Bridge::bootstrapScript("denied", true), denied);
}

TEST(BridgeScript, PermissionPushes) {
  struct Case {
    const char* permission;
    bool answer;
    const char* script;
  };
  const Case cases[] = {
      {"granted", true,
       "window.__vukoNotifyPermission = 'granted'; window.__vukoNotifyResolve && "
       "window.__vukoNotifyResolve('granted'); window.dispatchEvent(new "
       "Event('vukonotifypermission')); true"},
      {"denied", false,
       "window.__vukoNotifyPermission = 'denied';  window.dispatchEvent(new "
       "Event('vukonotifypermission')); true"},
      {"x'); evil('", true,
       "window.__vukoNotifyPermission = 'default'; window.__vukoNotifyResolve && "
       "window.__vukoNotifyResolve('default'); window.dispatchEvent(new "
       "Event('vukonotifypermission')); true"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Bridge::permissionScript(c.permission, c.answer), c.script) << c.permission;
}

TEST(BridgeScript, NativeRemindersPush) {
  EXPECT_EQ(Bridge::nativeRemindersScript(true), "window.vukoMacReminders = true; true");
  EXPECT_EQ(Bridge::nativeRemindersScript(false), "window.vukoMacReminders = false; true");
}

TEST(BridgeScript, HotkeysPushIsCompactJson) {
  json list = {{"quick", {{"code", "Space"}, {"ctrl", true}}}, {"show", nullptr}};
  EXPECT_EQ(
      Bridge::hotkeysScript(list),
      R"(window.__vukoMacHotkeys && window.__vukoMacHotkeys({"quick":{"code":"Space","ctrl":true},"show":null}))");
}

TEST(BridgeScript, HotkeysPushIsDroppedWhenTheListCannotBeSerialised) {
  json list = {{"quick", {{"code", std::string("Key\xff\xfe")}}}};
  EXPECT_EQ(Bridge::hotkeysScript(list), std::nullopt);
}

TEST(BridgeMessage, EachTypeIsRecognised) {
  const std::pair<const char*, Type> cases[] = {
      {"notify", Type::notify},
      {"notifyPermission", Type::notifyPermission},
      {"tasksChanged", Type::tasksChanged},
      {"retry", Type::retry},
      {"chooseServer", Type::chooseServer},
      {"getGlobalHotkeys", Type::getGlobalHotkeys},
      {"setGlobalHotkey", Type::setGlobalHotkey},
      {"pauseGlobalHotkeys", Type::pauseGlobalHotkeys},
      {"resumeGlobalHotkeys", Type::resumeGlobalHotkeys},
  };
  for (const auto& [word, type] : cases) {
    json message = {{"type", word}, {"id", "quick"}};
    auto parsed = Bridge::parse(message);
    ASSERT_TRUE(parsed) << word;
    EXPECT_EQ(parsed->type, type) << word;
  }
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

TEST(BridgeHotkeys, ListHasEveryIdWithNullOrTheFiveMembers) {
  json quick = {
      {"code", "Space"}, {"ctrl", true}, {"alt", true}, {"shift", false}, {"meta", false}};
  json list = Bridge::hotkeyList({{"quick", quick},
                                  {"show", std::nullopt},
                                  {"focus", json{{"code", "KeyP"}, {"meta", true}}}});
  json expected = {
      {"quick", quick},
      {"show", nullptr},
      {"focus",
       {{"code", "KeyP"}, {"ctrl", false}, {"alt", false}, {"shift", false}, {"meta", true}}},
  };
  EXPECT_EQ(list, expected);
  EXPECT_EQ(Bridge::hotkeyList({}).dump(), "{}");
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
