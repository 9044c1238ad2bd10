// Key combinations and the hot-key registry against a recording service:
// the key tables, defaults, stored choices, pausing for recording, and
// presses reaching their actions.
#include <gdk/gdk.h>
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "hotkeys/Hotkeys.h"
#include "platform/Clock.h"
#include "platform/Defaults.h"
#include "support/FakeClock.h"
#include "support/RecordingHotkeyService.h"

namespace vuko {
namespace {

using test::RecordingHotkeyService;
using Keys = std::multiset<RecordingHotkeyService::Key>;
using Numbers = std::multiset<std::uint32_t>;

// The key table and the hot-key service's keysym table meet at the Carbon key
// code; every key the page may choose must reach a distinct key on X.
TEST(GlobalComboTest, EveryKeyOfTheTableHasItsOwnKeysymInTheHotkeyService) {
  std::set<std::uint32_t> carbon, keysyms;
  for (const auto& code : GlobalCombo::codes()) {
    auto key = GlobalCombo(code, true, true).carbonKey();
    ASSERT_TRUE(key) << code;
    auto sym = X11HotkeyService::keysym(*key);
    ASSERT_TRUE(sym) << code;
    EXPECT_TRUE(carbon.insert(*key).second) << code << " shares its Carbon code";
    EXPECT_TRUE(keysyms.insert(*sym).second) << code << " shares its keysym";

    // Where the code or its label names the key, the keysym must be that key.
    std::string label = GlobalCombo::name(code);
    std::string keyName;
    if (code.starts_with("Key"))
      keyName = std::string(1, char(std::tolower(label[0])));
    else if (code.starts_with("Digit") || code.starts_with("F"))
      keyName = code.starts_with("F") ? code : label;
    if (!keyName.empty()) {
      EXPECT_EQ(*sym, gdk_keyval_from_name(keyName.c_str())) << code;
    } else if (label.size() == 1) {
      EXPECT_EQ(gdk_keyval_to_unicode(*sym), std::uint32_t(label[0])) << code;
    }
  }
  // Letters, digits, the twelve function keys and the named keys.
  EXPECT_EQ(carbon.size(), 26u + 10u + 12u + 21u);
  EXPECT_EQ(GlobalCombo("F13", true, true).carbonKey(), std::nullopt);
}

TEST(GlobalComboTest, NamesFollowTheirRulesAndTitlesTheDesktopsOrder) {
  // Lengths count characters, not bytes ("KeyЖ", "Keye\u0301", "KeyЖЖ").
  const std::pair<std::string, std::string> rows[] = {
      {"KeyA", "A"},       {"Keya", "a"}, {"Digit7", "7"},        {"Space", "Пробел"},
      {"Minus", "\u2212"}, {"F5", "F5"},  {"Numpad1", "Numpad1"}, {"KeyAB", "KeyAB"},
      {"Digit", "Digit"},  {"", ""},      {"KeyЖ", "Ж"},          {"Keye\u0301", "e\u0301"},
      {"KeyЖЖ", "KeyЖЖ"}};
  for (const auto& [code, label] : rows) EXPECT_EQ(GlobalCombo::name(code), label) << code;
  EXPECT_EQ(GlobalCombo("Digit1", true, true, true, true).title(), "Ctrl+Alt+Shift+Super+1");
  EXPECT_EQ(GlobalCombo("KeyQ", false, false).title(), "Q");
}

const GlobalCombo quickDefault("Space", true, true);
const GlobalCombo focusDefault("KeyP", true, true);

class HotkeysTest : public testing::Test {
 protected:
  void SetUp() override { Clock::setMain(clock); }
  void TearDown() override { Clock::setMain(nullptr); }

  // A registry whose actions note their id and press time.
  std::unique_ptr<Hotkeys> make() {
    Hotkeys::Actions actions;
    for (const char* id : {"quick", "show", "focus"})
      actions[id] = [this, id](std::uint32_t t) { ran.push_back(id + (" " + std::to_string(t))); };
    return std::make_unique<Hotkeys>(actions, service, store);
  }
  void storeText(const std::string& key, const std::string& text) {
    store.setData(key, Defaults::Bytes(text.begin(), text.end()));
  }

  std::shared_ptr<test::FakeClock> clock = std::make_shared<test::FakeClock>();
  std::shared_ptr<RecordingHotkeyService> service = std::make_shared<RecordingHotkeyService>();
  MemoryDefaults store;
  std::vector<std::string> ran;
};

TEST_F(HotkeysTest, FreshDefaultsRegisterQuickAndFocus) {
  auto hk = make();
  EXPECT_EQ(hk->all(),
            (std::map<std::string, std::optional<GlobalCombo>>{
                {"quick", quickDefault}, {"show", std::nullopt}, {"focus", focusDefault}}));
  EXPECT_EQ(service->keys(), (Keys{{1, 49, 0x1800}, {3, 35, 0x1800}}));
  for (const auto& [ref, e] : service->live) EXPECT_EQ(e.signature, 0x56554B4Fu);  // "VUKO"
}

TEST_F(HotkeysTest, SettingAComboStoresItRegistersAndNotifiesOnce) {
  auto hk = make();
  int changes = 0;
  hk->onChange = [&] {
    ++changes;
    // Registration is complete by the time the owner hears of the change.
    EXPECT_EQ(service->numbers().count(2), 1u);
  };
  GlobalCombo combo("KeyS", true, false, true);
  hk->set("show", combo);
  EXPECT_EQ(changes, 1);
  auto bytes = store.data("hotkey.show");
  ASSERT_TRUE(bytes);
  EXPECT_EQ(nlohmann::json::parse(bytes->begin(), bytes->end()),
            nlohmann::json::parse(
                R"({"code":"KeyS","ctrl":true,"alt":false,"shift":true,"meta":false})"));
  EXPECT_EQ(service->keys(), (Keys{{1, 49, 0x1800}, {2, 1, 0x1200}, {3, 35, 0x1800}}));
}

TEST_F(HotkeysTest, ChoicesAndTurningOffOutliveARestartUntilSetAgain) {
  {
    auto hk = make();
    hk->set("quick", GlobalCombo("KeyK", true, false));
    hk->set("quick", std::nullopt);
    EXPECT_FALSE(store.value("hotkey.quick"));
    hk->set("focus", GlobalCombo("F5", false, false, false, true));
  }
  service = std::make_shared<RecordingHotkeyService>();
  auto again = make();
  EXPECT_EQ(again->combo("quick"), std::nullopt);
  EXPECT_EQ(service->keys(), (Keys{{3, 96, 0x0100}}));
  again->set("quick", GlobalCombo("KeyK", true, false));
  EXPECT_EQ(service->keys(), (Keys{{1, 40, 0x1000}, {3, 96, 0x0100}}));
}

TEST_F(HotkeysTest, PauseUnregistersAndResumeReadsTheStoreAfresh) {
  auto hk = make();
  hk->pause();
  EXPECT_TRUE(service->live.empty());
  EXPECT_EQ(hk->all()["quick"], quickDefault);  // still reported while paused

  storeText("hotkey.quick",
            R"({"code":"KeyQ","ctrl":false,"alt":true,"shift":false,"meta":false,"x":1})");
  hk->resume();
  hk->resume();  // registers nothing twice
  EXPECT_EQ(service->keys(), (Keys{{1, 12, 0x0800}, {3, 35, 0x1800}}));

  // Setting a combination while paused registers everything again.
  hk->pause();
  hk->set("show", GlobalCombo("Digit1", true, false));
  EXPECT_EQ(service->numbers(), (Numbers{1, 2, 3}));
}

TEST_F(HotkeysTest, APressRunsItsActionWithItsTimeOnALaterTurnOfTheLoop) {
  auto hk = make();
  service->press(1, 1111);
  EXPECT_TRUE(ran.empty()) << "ran inside the service's handler";
  service->press(3, 3333);
  service->press(2, 2222);
  clock->flush();
  EXPECT_EQ(ran, (std::vector<std::string>{"quick 1111", "focus 3333", "show 2222"}));
}

TEST_F(HotkeysTest, TheNewestRegistryOwnsThePressesUntilItGoes) {
  auto first = make();
  int second = 0;
  // Here focus's action is empty and show's missing.
  auto newest = std::make_unique<Hotkeys>(
      Hotkeys::Actions{{"quick", [&](std::uint32_t) { ++second; }}, {"focus", nullptr}}, service,
      store);
  for (std::uint32_t n : {1u, 0u, 2u, 3u, 4u, 0xFFFFFFFFu}) service->press(n);
  clock->flush();
  // An older registry going leaves the newest one in charge.
  first.reset();
  service->press(1);
  clock->flush();
  EXPECT_EQ(second, 2);
  EXPECT_TRUE(ran.empty());

  // The current one going takes its actions along, even for a press on its way.
  service->press(1);
  newest.reset();
  clock->flush();
  EXPECT_EQ(second, 2);
}

TEST_F(HotkeysTest, ARegistryUnregistersItsKeysWhenItGoes) {
  auto other = std::make_shared<RecordingHotkeyService>();
  Hotkeys elsewhere({}, other, store);
  make().reset();
  EXPECT_TRUE(service->live.empty());
  EXPECT_EQ(other->numbers(), (Numbers{1, 3})) << "touched another service";

  auto paused = make();
  paused->pause();
  int calls = service->unregisterCalls;
  paused.reset();
  EXPECT_EQ(service->unregisterCalls, calls) << "unregistered keys it no longer held";
}

TEST_F(HotkeysTest, UndecodableOrMistypedStoredDataFallsBackToTheDefault) {
  // Decoding needs all five members with their types.
  for (const std::string& text :
       std::vector<std::string>{R"({"code":"KeyR","ctrl":true,"alt":true,"shift":false})",
                                R"({"code":1,"ctrl":true,"alt":true,"shift":false,"meta":false})",
                                R"({"code":"KeyR","ctrl":1,"alt":true,"shift":false,"meta":false})",
                                R"(["KeyR",true,true,false,false])", "not json at all", "\xff"}) {
    storeText("hotkey.quick", text);
    EXPECT_EQ(make()->combo("quick"), quickDefault) << text;
  }
  // A value of another type than data counts as nothing stored.
  store.setString("hotkey.focus",
                  R"({"code":"KeyR","ctrl":true,"alt":true,"shift":false,"meta":false})");
  store.setString("hotkey.quick.off", "true");
  EXPECT_EQ(make()->combo("focus"), focusDefault);
  EXPECT_EQ(make()->combo("quick"), quickDefault);
}

TEST_F(HotkeysTest, CodesAndIdsOutsideTheTablesAreStoredButNeverRegistered) {
  auto hk = make();
  hk->set("quick", GlobalCombo("F13", true, false));
  hk->set("extra", GlobalCombo("KeyE", true, true));
  EXPECT_EQ(hk->combo("quick"), GlobalCombo("F13", true, false));
  EXPECT_EQ(hk->combo("extra"), GlobalCombo("KeyE", true, true));
  EXPECT_EQ(hk->all().size(), 3u);
  EXPECT_EQ(service->numbers(), (Numbers{3}));
}

TEST_F(HotkeysTest, ARefusedRegistrationIsSilentAndKeepsTheCombination) {
  service->refused.insert({49, 0x1800});
  auto hk = make();
  EXPECT_EQ(hk->combo("quick"), quickDefault);
  EXPECT_FALSE(hk->registered("quick"));
  EXPECT_EQ(service->numbers(), (Numbers{3}));
}

TEST_F(HotkeysTest, ACodeThatCannotBeEncodedRemovesTheStoredCombination) {
  auto hk = make();
  hk->set("focus", GlobalCombo("KeyQ", true, false));
  hk->set("focus", GlobalCombo("Key\xff", true, false));
  EXPECT_FALSE(store.value("hotkey.focus"));
  EXPECT_EQ(hk->combo("focus"), focusDefault);
}

// The real service, in a process without a display (a Wayland session
// without XWayland looks the same to it).
TEST_F(HotkeysTest, WithoutADisplayNothingRegistersAndEverythingElseWorks) {
  if (std::getenv("DISPLAY")) GTEST_SKIP() << "a display is there";
  auto x11 = std::make_shared<X11HotkeyService>();
  EXPECT_NE(x11->registerHotKey(49, 0x1800, Hotkeys::signature, 1).status, HotkeyService::noErr);
  Hotkeys hk({}, x11, store);
  hk.set("show", GlobalCombo("KeyS", true, false));
  hk.pause();
  hk.resume();
  EXPECT_EQ(hk.combo("show"), GlobalCombo("KeyS", true, false));
  EXPECT_FALSE(hk.registered("quick"));
}

// A system-wide key that types a character would take it from every program.
TEST_F(HotkeysTest, AKeyThatTypesIsNeverTakenWithoutCtrlAltOrMeta) {
  const std::pair<GlobalCombo, bool> cases[] = {
      {GlobalCombo("KeyS", false, false, true), false},
      {GlobalCombo("Space", false, false), false},
      {GlobalCombo("Slash", false, false), false},
      {GlobalCombo("F5", false, false), true},
      {GlobalCombo("KeyS", false, false, false, true), true},
  };
  auto hk = make();
  for (const auto& [combo, registered] : cases) {
    hk->set("show", combo);
    EXPECT_EQ(hk->combo("show"), combo) << combo.title();  // kept all the same
    EXPECT_EQ(service->numbers().count(2), registered ? 1u : 0u) << combo.title();
    EXPECT_EQ(hk->registered("show"), registered) << combo.title();
  }
  // What the system took stays known while the keys are paused for recording.
  hk->pause();
  EXPECT_TRUE(hk->registered("show"));
}

}  // namespace
}  // namespace vuko
