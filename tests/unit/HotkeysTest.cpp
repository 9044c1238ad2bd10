// The hot-key registry against a recording service: defaults, stored choices,
// pausing for recording, and presses reaching their actions.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
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
  // A new service, as after a restart.
  void restart() { service = std::make_shared<RecordingHotkeyService>(); }
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
  GlobalCombo combo("KeyS", false, false, true, true);
  hk->set("show", combo);
  EXPECT_EQ(changes, 1);
  auto bytes = store.data("hotkey.show");
  ASSERT_TRUE(bytes);
  EXPECT_EQ(nlohmann::json::parse(bytes->begin(), bytes->end()), combo.toJson());
  EXPECT_EQ(hk->combo("show"), combo);
  EXPECT_EQ(service->keys(), (Keys{{1, 49, 0x1800}, {2, 1, 0x0300}, {3, 35, 0x1800}}));
}

TEST_F(HotkeysTest, ChoicesAndTurningOffOutliveARestartUntilSetAgain) {
  {
    auto hk = make();
    hk->set("quick", GlobalCombo("KeyK", true, false));
    hk->set("quick", std::nullopt);
    EXPECT_FALSE(store.value("hotkey.quick"));
    hk->set("focus", GlobalCombo("F5", false, true));
  }
  restart();
  auto again = make();
  EXPECT_EQ(again->combo("quick"), std::nullopt);
  EXPECT_EQ(again->combo("focus"), GlobalCombo("F5", false, true));
  EXPECT_EQ(service->keys(), (Keys{{3, 96, 0x0800}}));

  again->set("quick", GlobalCombo("KeyK", true, false));
  EXPECT_EQ(again->combo("quick"), GlobalCombo("KeyK", true, false));
  EXPECT_EQ(service->keys(), (Keys{{1, 40, 0x1000}, {3, 96, 0x0800}}));
}

TEST_F(HotkeysTest, PauseUnregistersAndResumeReadsTheStoreAfresh) {
  auto hk = make();
  hk->pause();
  EXPECT_TRUE(service->live.empty());
  EXPECT_EQ(hk->all()["quick"], quickDefault);  // still reported while paused

  storeText("hotkey.quick", GlobalCombo("KeyQ", false, true).toJson().dump());
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

TEST_F(HotkeysTest, PressesWithoutAnActionDoNothing) {
  // Numbers outside the table, and an id whose action is missing or empty.
  Hotkeys hk({{"quick", [this](std::uint32_t) { ran.push_back("quick"); }}, {"focus", nullptr}},
             service, store);
  for (std::uint32_t n : {0u, 4u, 0xFFFFFFFFu, 3u, 2u}) service->press(n);
  clock->flush();
  EXPECT_TRUE(ran.empty());
}

TEST_F(HotkeysTest, TheNewestRegistryOwnsThePressesUntilItGoes) {
  auto first = make();
  std::vector<std::string> second;
  auto newest = std::make_unique<Hotkeys>(
      Hotkeys::Actions{{"quick", [&](std::uint32_t) { second.push_back("quick"); }}}, service,
      store);
  service->press(1);
  clock->flush();
  // An older registry going leaves the newest one in charge.
  first.reset();
  service->press(1);
  clock->flush();
  EXPECT_EQ(second.size(), 2u);

  // The current one going takes its actions along, even for a press on its way.
  service->press(1);
  newest.reset();
  clock->flush();
  EXPECT_EQ(second.size(), 2u);
  EXPECT_TRUE(ran.empty());
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

TEST_F(HotkeysTest, UndecodableStoredDataFallsBackToTheDefault) {
  for (const std::string& text :
       std::vector<std::string>{R"({"code":"KeyR","ctrl":true,"alt":true,"shift":false})",
                                "not json at all", std::string("\xff\xfe\x00", 3)}) {
    storeText("hotkey.quick", text);
    storeText("hotkey.show", text);
    auto hk = make();
    EXPECT_EQ(hk->combo("quick"), quickDefault) << text;
    EXPECT_EQ(hk->combo("show"), std::nullopt) << text;
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
