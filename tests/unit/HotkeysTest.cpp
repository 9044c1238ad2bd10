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
#include "platform/ActivationToken.h"
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
    // The portal's trigger names the same key by its keysym name.
    const std::string trigger = GlobalCombo(code, true, true).shortcutTrigger();
    EXPECT_EQ(gdk_keyval_from_name(trigger.substr(trigger.rfind('+') + 1).c_str()), *sym) << code;

    // A function key is its keysym's name; a one-character label is what the keysym types.
    const std::string label = GlobalCombo::name(code);
    if (code.starts_with("F")) {
      EXPECT_EQ(*sym, gdk_keyval_from_name(code.c_str())) << code;
    } else if (label.size() == 1) {
      EXPECT_EQ(gdk_keyval_to_unicode(*sym), std::uint32_t(std::tolower(label[0]))) << code;
    }
  }
  // Letters, digits, the twelve function keys and the named keys.
  EXPECT_EQ(carbon.size(), 26u + 10u + 12u + 21u);
  EXPECT_EQ(GlobalCombo("F13", true, true).carbonKey(), std::nullopt);
  EXPECT_EQ(GlobalCombo("Digit1", true, true, true, true).shortcutTrigger(),
            "CTRL+ALT+SHIFT+LOGO+1");
  EXPECT_EQ(GlobalCombo("F13", true, true).shortcutTrigger(), "");
}

TEST(GlobalComboTest, NamesFollowTheirRulesAndTitlesTheDesktopsOrder) {
  // Lengths count characters, not bytes ("KeyЖ", "Keye\u0301", "KeyЖЖ").
  // (The table's own keys are checked against their keysyms above.)
  const std::pair<std::string, std::string> rows[] = {
      {"Space", "Пробел"}, {"Minus", "\u2212"},       {"Numpad1", "Numpad1"}, {"KeyAB", "KeyAB"},
      {"KeyЖ", "Ж"},       {"Keye\u0301", "e\u0301"}, {"KeyЖЖ", "KeyЖЖ"}};
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
  hk.reset();
  EXPECT_TRUE(service->live.empty());
}

TEST_F(HotkeysTest, SettingAComboRegistersItAndNotifiesOnce) {
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
  EXPECT_EQ(service->keys(), (Keys{{1, 49, 0x1800}, {2, 1, 0x1200}, {3, 35, 0x1800}}));
}

TEST_F(HotkeysTest, ChoicesAndTurningOffOutliveARestartUntilSetAgain) {
  {
    auto hk = make();
    hk->set("quick", GlobalCombo("KeyK", true, false));
    hk->set("quick", std::nullopt);
    EXPECT_FALSE(store.value("hotkey.quick"));
    hk->set("focus", GlobalCombo("F5", false, false, false, true));
    // A code that cannot be encoded removes the stored one.
    hk->set("show", GlobalCombo("KeyQ", true, false));
    hk->set("show", GlobalCombo("Key\xff", true, false));
    EXPECT_FALSE(store.value("hotkey.show"));
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
  // Paused keys are not unregistered again when the registry goes.
  hk->pause();
  int calls = service->unregisterCalls;
  hk.reset();
  EXPECT_EQ(service->unregisterCalls, calls);
}

// A press runs its action on a later turn of the loop, and only the newest
// registry's, until it goes.
TEST_F(HotkeysTest, APressRunsTheNewestRegistrysActionWithItsTimeOnALaterTurn) {
  auto first = make();
  service->press(1, 1111);
  EXPECT_TRUE(ran.empty()) << "ran inside the service's handler";
  service->press(3, 3333);
  service->press(2, 2222);
  clock->flush();
  EXPECT_EQ(ran, (std::vector<std::string>{"quick 1111", "focus 3333", "show 2222"}));

  ran.clear();
  int second = 0;
  // Here focus's action is empty and show's missing.
  auto newest = std::make_unique<Hotkeys>(
      Hotkeys::Actions{{"quick", [&](std::uint32_t) { ++second; }}, {"focus", nullptr}}, service,
      store);
  for (std::uint32_t n : {1u, 0u, 2u, 3u, 4u, 0xFFFFFFFFu}) service->press(n);
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

TEST_F(HotkeysTest, UndecodableOrMistypedStoredDataFallsBackToTheDefault) {
  // Decoding needs all five members with their types.
  for (const char* text :
       {R"({"code":"KeyR","ctrl":true,"alt":true,"shift":false})",
        R"({"code":1,"ctrl":true,"alt":true,"shift":false,"meta":false})",
        R"({"code":"KeyR","ctrl":1,"alt":true,"shift":false,"meta":false})", "not json at all"}) {
    storeText("hotkey.quick", text);
    EXPECT_EQ(make()->combo("quick"), quickDefault) << text;
  }
}

// Whatever cannot be registered is kept all the same, without a word. A
// system-wide key that types a character would take it from every program.
TEST_F(HotkeysTest, CombinationsThatCannotBeTakenAreKeptButNotRegistered) {
  const GlobalCombo refused("KeyR", true, false);
  service->refused.insert({*refused.carbonKey(), refused.carbonMods()});
  const std::pair<GlobalCombo, bool> cases[] = {
      {GlobalCombo("KeyS", false, false, true), false},
      {GlobalCombo("Space", false, false), false},
      {GlobalCombo("Slash", false, false), false},
      {GlobalCombo("F13", true, false), false},  // outside the key table
      {refused, false},
      {GlobalCombo("F5", false, false), true},
      {GlobalCombo("KeyS", false, false, false, true), true},
  };
  auto hk = make();
  for (const auto& [combo, registered] : cases) {
    hk->set("show", combo);
    EXPECT_EQ(hk->combo("show"), combo) << combo.title();
    EXPECT_EQ(service->numbers(), (registered ? Numbers{1, 2, 3} : Numbers{1, 3})) << combo.title();
    EXPECT_EQ(hk->registered("show"), registered) << combo.title();
  }
  // What the system took stays known while the keys are paused for recording.
  hk->pause();
  EXPECT_TRUE(hk->registered("show"));
  // An id outside the table is stored and never registered.
  hk->set("extra", GlobalCombo("KeyE", true, true));
  EXPECT_EQ(hk->combo("extra"), GlobalCombo("KeyE", true, true));
  EXPECT_EQ(hk->all().size(), 3u);
  hk->resume();
  EXPECT_EQ(service->numbers(), (Numbers{1, 2, 3}));
}

// The real service, in a process without a display (a Wayland session
// without XWayland looks the same to it).
TEST_F(HotkeysTest, WithoutADisplayNothingRegistersAndEverythingElseWorks) {
  if (std::getenv("DISPLAY")) GTEST_SKIP() << "a display is there";
  Hotkeys hk({}, std::make_shared<X11HotkeyService>(), store);
  hk.set("show", GlobalCombo("KeyS", true, false));
  hk.pause();
  hk.resume();
  EXPECT_EQ(hk.combo("show"), GlobalCombo("KeyS", true, false));
  EXPECT_FALSE(hk.registered("quick") || hk.registered("show"));
}

}  // namespace
}  // namespace vuko

namespace vuko {

namespace {

// Records the opening and each set bound as "id=trigger" lines; the test
// answers for the desktop.
struct RecordingPortal final : ShortcutPortal {
  void open(const std::string& appId, Ready answer) override {
    appIds.push_back(appId);
    ready = std::move(answer);
  }
  void bind(const std::vector<Shortcut>& shortcuts) override {
    std::string set;
    for (const auto& s : shortcuts) set += s.id + "=" + s.preferredTrigger + " ";
    binds.push_back(set);
  }
  std::vector<std::string> appIds, binds;
  Ready ready;
};

void refuseDefaults(RecordingHotkeyService& service) {
  for (const auto& combo : {quickDefault, focusDefault})
    service.refused.insert({*combo.carbonKey(), combo.carbonMods()});
}

// No key can be grabbed (a Wayland session): the desktop's portal binds the
// actions, and what it bound is what counts as registered.
TEST_F(HotkeysTest, WithoutGrabsThePortalBindsAndItsAnswerIsWhatIsRegistered) {
  refuseDefaults(*service);
  auto portal = std::make_shared<RecordingPortal>();
  Hotkeys::Actions actions{
      {"quick", [&](std::uint32_t) { ran.push_back("quick " + ActivationToken::take()); }}};
  Hotkeys hk(actions, service, store, portal);
  int changes = 0;
  hk.onChange = [&] { ++changes; };
  ASSERT_EQ(portal->appIds, std::vector<std::string>{"app.vuko.Vuko"});
  EXPECT_FALSE(hk.commandsOnly());

  portal->ready(true);
  EXPECT_EQ(portal->binds,
            std::vector<std::string>{"quick=CTRL+ALT+space show= focus=CTRL+ALT+p "});
  EXPECT_FALSE(hk.registered("quick"));
  portal->onBound({{"quick", "Ctrl+Alt+Space"}, {"focus", ""}, {"other", "X"}});
  EXPECT_TRUE(hk.registered("quick"));
  EXPECT_FALSE(hk.registered("focus"));
  EXPECT_EQ(hk.boundTrigger("quick"), "Ctrl+Alt+Space");
  EXPECT_EQ(changes, 2);

  // A change re-binds on the same session; resuming with nothing new asks nothing.
  hk.pause();
  hk.set("focus", std::nullopt);
  hk.resume();
  EXPECT_EQ(portal->binds.back(), "quick=CTRL+ALT+space show= ");
  EXPECT_EQ(portal->binds.size(), 2u);
  EXPECT_EQ(portal->appIds.size(), 1u);

  portal->onActivated("quick", "token-1");
  EXPECT_TRUE(ran.empty()) << "ran inside the portal's signal";
  clock->flush();
  EXPECT_EQ(ran, std::vector<std::string>{"quick token-1"});
  EXPECT_EQ(ActivationToken::take(), "") << "the token outlived its action";
}

TEST_F(HotkeysTest, WithNeitherGrabsNorPortalOnlyCommandsRemain) {
  refuseDefaults(*service);
  auto portal = std::make_shared<RecordingPortal>();
  Hotkeys hk({}, service, store, portal);
  portal->ready(false);
  EXPECT_TRUE(hk.commandsOnly());
  EXPECT_TRUE(portal->binds.empty());
  EXPECT_FALSE(Hotkeys({}, std::make_shared<RecordingHotkeyService>(), store).commandsOnly())
      << "grabs work there";
}

}  // namespace
}  // namespace vuko
