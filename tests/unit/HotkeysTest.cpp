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
using Json = nlohmann::json;

class HotkeysTest : public testing::Test {
 protected:
  void SetUp() override { Clock::setMain(clock); }
  void TearDown() override { Clock::setMain(nullptr); }

  std::unique_ptr<Hotkeys> make() {
    return std::make_unique<Hotkeys>(
        Hotkeys::Actions{{"quick", [this](std::uint32_t) { ran.push_back("quick"); }},
                         {"show", [this](std::uint32_t) { ran.push_back("show"); }},
                         {"focus", [this](std::uint32_t) { ran.push_back("focus"); }}},
        service, store);
  }

  void storeText(const std::string& key, const std::string& text) {
    store.setData(key, Defaults::Bytes(text.begin(), text.end()));
  }
  std::optional<Json> storedJson(const std::string& key) {
    auto bytes = store.data(key);
    if (!bytes) return std::nullopt;
    return Json::parse(bytes->begin(), bytes->end());
  }

  std::shared_ptr<test::FakeClock> clock = std::make_shared<test::FakeClock>();
  std::shared_ptr<RecordingHotkeyService> service = std::make_shared<RecordingHotkeyService>();
  MemoryDefaults store;
  std::vector<std::string> ran;
};

const GlobalCombo quickDefault("Space", true, true);
const GlobalCombo focusDefault("KeyP", true, true);

TEST_F(HotkeysTest, FreshDefaultsRegisterQuickAndFocus) {
  auto hk = make();
  auto all = hk->all();
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all["quick"], quickDefault);
  EXPECT_EQ(all["show"], std::nullopt);
  EXPECT_EQ(all["focus"], focusDefault);
  EXPECT_EQ(all["quick"]->title(), "Ctrl+Alt+Пробел");
  EXPECT_EQ(all["focus"]->title(), "Ctrl+Alt+P");

  auto live = service->byNumber();
  EXPECT_EQ(service->numbers(), (std::multiset<std::uint32_t>{1, 3}));
  EXPECT_EQ(live[1].keyCode, 49u);
  EXPECT_EQ(live[1].modifiers, 6144u);
  EXPECT_EQ(live[3].keyCode, 35u);
  EXPECT_EQ(live[3].modifiers, 6144u);
  for (const auto& [n, e] : live) EXPECT_EQ(e.signature, 0x56554B4Fu);  // "VUKO"
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
  EXPECT_EQ(storedJson("hotkey.show"), combo.toJson());
  EXPECT_EQ(store.boolean("hotkey.show.off"), false);
  EXPECT_EQ(hk->combo("show"), combo);
  EXPECT_EQ(service->numbers(), (std::multiset<std::uint32_t>{1, 2, 3}));
  EXPECT_EQ(service->byNumber()[2].keyCode, 1u);
  EXPECT_EQ(service->byNumber()[2].modifiers, 0x0300u);
}

TEST_F(HotkeysTest, TurningOffOverridesTheDefaultAcrossRestartsUntilSetAgain) {
  {
    auto hk = make();
    hk->set("quick", std::nullopt);
    EXPECT_FALSE(store.value("hotkey.quick"));
    EXPECT_EQ(store.boolean("hotkey.quick.off"), true);
    EXPECT_EQ(hk->combo("quick"), std::nullopt);
    EXPECT_EQ(service->numbers(), (std::multiset<std::uint32_t>{3}));
  }
  service = std::make_shared<RecordingHotkeyService>();
  auto again = make();
  EXPECT_EQ(again->combo("quick"), std::nullopt);
  EXPECT_EQ(again->all()["quick"], std::nullopt);
  EXPECT_EQ(service->numbers(), (std::multiset<std::uint32_t>{3}));

  again->set("quick", GlobalCombo("KeyK", true, false));
  EXPECT_EQ(store.boolean("hotkey.quick.off"), false);
  EXPECT_EQ(again->combo("quick"), GlobalCombo("KeyK", true, false));
  EXPECT_EQ(service->byNumber()[1].keyCode, 40u);
}

TEST_F(HotkeysTest, ChosenCombinationsPersistIntoANewRegistry) {
  make()->set("focus", GlobalCombo("F5", false, true));
  service = std::make_shared<RecordingHotkeyService>();
  auto hk = make();
  EXPECT_EQ(hk->combo("focus"), GlobalCombo("F5", false, true));
  EXPECT_EQ(service->byNumber()[3].keyCode, 96u);
  EXPECT_EQ(service->byNumber()[3].modifiers, 0x0800u);
}

TEST_F(HotkeysTest, PauseUnregistersAndResumeReadsTheStoreAfresh) {
  auto hk = make();
  hk->pause();
  EXPECT_TRUE(service->live.empty());
  EXPECT_EQ(hk->all()["quick"], quickDefault);  // still reported while paused

  storeText("hotkey.quick", GlobalCombo("KeyQ", false, true).toJson().dump());
  hk->resume();
  EXPECT_EQ(service->numbers(), (std::multiset<std::uint32_t>{1, 3}));
  EXPECT_EQ(service->byNumber()[1].keyCode, 12u);

  // Resuming twice does not register anything twice.
  hk->resume();
  EXPECT_EQ(service->numbers(), (std::multiset<std::uint32_t>{1, 3}));

  // Setting a combination while paused registers everything again.
  hk->pause();
  hk->set("show", GlobalCombo("Digit1", true, false));
  EXPECT_EQ(service->numbers(), (std::multiset<std::uint32_t>{1, 2, 3}));
}

TEST_F(HotkeysTest, APressRunsItsActionOnALaterTurnOfTheLoop) {
  auto hk = make();
  service->press(1);
  EXPECT_TRUE(ran.empty()) << "ran inside the service's handler";
  clock->flush();
  EXPECT_EQ(ran, std::vector<std::string>{"quick"});

  service->press(3);
  service->press(2);
  clock->flush();
  EXPECT_EQ(ran, (std::vector<std::string>{"quick", "focus", "show"}));
}

TEST_F(HotkeysTest, EachActionGetsTheTimeOfItsOwnPress) {
  std::vector<std::uint32_t> times;
  Hotkeys hk({{"quick", [&](std::uint32_t t) { times.push_back(t); }},
              {"show", [&](std::uint32_t t) { times.push_back(t); }}},
             service, store);
  service->press(1, 1111);
  service->press(2, 2222);
  clock->flush();
  EXPECT_EQ(times, (std::vector<std::uint32_t>{1111, 2222}));
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
  EXPECT_TRUE(ran.empty());
  EXPECT_EQ(second, std::vector<std::string>{"quick"});

  // An older registry going leaves the newest one in charge.
  first.reset();
  service->press(1);
  clock->flush();
  EXPECT_EQ(second, (std::vector<std::string>{"quick", "quick"}));

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
  EXPECT_EQ(other->numbers(), (std::multiset<std::uint32_t>{1, 3})) << "touched another service";

  auto paused = make();
  paused->pause();
  int calls = service->unregisterCalls;
  paused.reset();
  EXPECT_EQ(service->unregisterCalls, calls) << "unregistered keys it no longer held";
}

TEST_F(HotkeysTest, UndecodableStoredDataFallsBackToTheDefault) {
  const std::vector<std::string> bad = {
      R"({"code":"KeyP","ctrl":true,"alt":true,"shift":false})",
      R"({"code":"KeyR","ctrl":"yes","alt":true,"shift":false,"meta":false})",
      R"(["KeyR",true,true,false,false])",
      "not json at all",
      "",
      std::string("\xff\xfe\x00", 3),
  };
  for (const auto& text : bad) {
    service = std::make_shared<RecordingHotkeyService>();
    storeText("hotkey.quick", text);
    storeText("hotkey.show", text);
    auto hk = make();
    EXPECT_EQ(hk->combo("quick"), quickDefault) << text;
    EXPECT_EQ(hk->combo("show"), std::nullopt) << text;
    EXPECT_EQ(service->numbers(), (std::multiset<std::uint32_t>{1, 3})) << text;
  }
  // A value of another type than data counts as nothing stored.
  store.setString("hotkey.focus",
                  R"({"code":"KeyR","ctrl":true,"alt":true,"shift":false,"meta":false})");
  store.setString("hotkey.quick.off", "true");
  EXPECT_EQ(make()->combo("focus"), focusDefault);
  EXPECT_EQ(make()->combo("quick"), quickDefault);
}

TEST_F(HotkeysTest, CodesAndIdsOutsideTheTablesAreStoredButNeverRegistered) {
  struct Case {
    const char* id;
    GlobalCombo combo;
    std::multiset<std::uint32_t> registered;
  };
  const Case cases[] = {
      {"quick", GlobalCombo("F13", true, false), {3}},
      {"extra", GlobalCombo("KeyE", true, true), {1, 3}},
  };
  for (const auto& c : cases) {
    service = std::make_shared<RecordingHotkeyService>();
    store = MemoryDefaults();
    auto hk = make();
    hk->set(c.id, c.combo);
    EXPECT_EQ(hk->combo(c.id), c.combo) << c.id;
    auto all = hk->all();
    EXPECT_EQ(all.size(), 3u) << c.id;
    EXPECT_EQ(all.count(c.id) ? all[c.id] : c.combo, c.combo) << c.id;
    EXPECT_EQ(service->numbers(), c.registered) << c.id;
  }
}

TEST_F(HotkeysTest, ARefusedRegistrationIsSilentAndKeepsTheCombination) {
  service->refused.insert({49, 6144});
  auto hk = make();
  EXPECT_EQ(hk->combo("quick"), quickDefault);
  EXPECT_EQ(service->numbers(), (std::multiset<std::uint32_t>{3}));
  hk->pause();
  EXPECT_TRUE(service->live.empty());
}

TEST_F(HotkeysTest, ACodeThatCannotBeEncodedRemovesTheStoredCombination) {
  auto hk = make();
  hk->set("focus", GlobalCombo("KeyQ", true, false));
  ASSERT_TRUE(store.data("hotkey.focus"));
  hk->set("focus", GlobalCombo("Key\xff", true, false));
  EXPECT_FALSE(store.value("hotkey.focus"));
  EXPECT_EQ(store.boolean("hotkey.focus.off"), false);
  EXPECT_EQ(hk->combo("focus"), focusDefault);
}

// The real service, in a process without a display (a Wayland session
// without XWayland looks the same to it).
TEST_F(HotkeysTest, WithoutADisplayNothingRegistersAndEverythingElseWorks) {
  if (std::getenv("DISPLAY")) GTEST_SKIP() << "a display is there";
  auto x11 = std::make_shared<X11HotkeyService>();
  auto reg = x11->registerHotKey(49, 0x1800, Hotkeys::signature, 1);
  EXPECT_NE(reg.status, HotkeyService::noErr);
  EXPECT_EQ(reg.ref, 0u);
  EXPECT_NE(x11->unregisterHotKey(1), HotkeyService::noErr);

  Hotkeys hk({{"quick", [this](std::uint32_t) { ran.push_back("quick"); }}}, x11, store);
  hk.set("show", GlobalCombo("KeyS", true, false));
  hk.pause();
  hk.resume();
  EXPECT_EQ(hk.all()["show"], GlobalCombo("KeyS", true, false));
  EXPECT_EQ(hk.all()["quick"], quickDefault);
}

// A system-wide key that types a character would take it from every program.
TEST_F(HotkeysTest, AKeyThatTypesIsNeverTakenWithoutCtrlAltOrMeta) {
  struct Case {
    GlobalCombo combo;
    bool registered;
  };
  const Case cases[] = {
      {GlobalCombo("KeyS", false, false), false},
      {GlobalCombo("KeyS", false, false, true), false},
      {GlobalCombo("Digit1", false, false), false},
      {GlobalCombo("Space", false, false, true), false},
      {GlobalCombo("Slash", false, false), false},
      {GlobalCombo("F5", false, false), true},
      {GlobalCombo("KeyS", true, false), true},
      {GlobalCombo("KeyS", false, true, true), true},
      {GlobalCombo("KeyS", false, false, false, true), true},
  };
  auto hk = make();
  for (const auto& c : cases) {
    hk->set("show", c.combo);
    EXPECT_EQ(hk->combo("show"), c.combo) << c.combo.title();  // kept all the same
    EXPECT_EQ(service->numbers().count(2), c.registered ? 1u : 0u) << c.combo.title();
    EXPECT_EQ(hk->registered("show"), c.registered) << c.combo.title();
    // Nor does it become a menu key, which would take the letter from the page.
    EXPECT_EQ(c.combo.menuKey().has_value(), c.registered && c.combo.code != "F5")
        << c.combo.title();
  }
  // What the system took stays known while the keys are paused for recording.
  hk->pause();
  EXPECT_TRUE(service->numbers().empty());
  EXPECT_TRUE(hk->registered("show"));
}

}  // namespace
}  // namespace vuko
