#include <gdk/gdk.h>
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "hotkeys/GlobalCombo.h"
#include "platform/HotkeyService.h"

namespace vuko {
namespace {

using Json = nlohmann::json;

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
}

TEST(GlobalComboTest, CodesOutsideTheTableHaveNoCarbonKey) {
  for (const char* code : {"F13", "F0", "Numpad1", "NumpadEnter", "keya", "Key", "KeyAB", "", "F"})
    EXPECT_EQ(GlobalCombo(code, true, true).carbonKey(), std::nullopt) << code;
  EXPECT_EQ(X11HotkeyService::keysym(0xFFFF), std::nullopt);
}

struct Flags {
  bool ctrl, alt, shift, meta;
};

TEST(GlobalComboTest, CarbonModsAreTheOrOfTheFlags) {
  const std::vector<std::pair<Flags, std::uint32_t>> rows = {
      {{false, false, false, false}, 0},     {{true, false, false, false}, 0x1000},
      {{false, true, false, false}, 0x0800}, {{false, false, true, false}, 0x0200},
      {{false, false, false, true}, 0x0100}, {{true, true, false, false}, 6144},
      {{true, true, true, true}, 6912},      {{false, false, true, true}, 0x0300},
  };
  for (const auto& [f, mask] : rows)
    EXPECT_EQ(GlobalCombo("KeyA", f.ctrl, f.alt, f.shift, f.meta).carbonMods(), mask)
        << f.ctrl << f.alt << f.shift << f.meta;
}

TEST(GlobalComboTest, NameFollowsItsRulesInOrder) {
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"KeyA", "A"},
      {"KeyZ", "Z"},
      {"Keya", "a"},
      {"Digit7", "7"},
      {"Digit0", "0"},
      {"DigitX", "X"},
      {"Space", "Пробел"},
      {"Enter", "Enter"},
      {"Slash", "/"},
      {"Backslash", "\\"},
      {"Period", "."},
      {"Comma", ","},
      {"Semicolon", ";"},
      {"Quote", "'"},
      {"BracketLeft", "["},
      {"BracketRight", "]"},
      {"Minus", "\u2212"},
      {"Equal", "="},
      {"Backquote", "`"},
      {"Tab", "Tab"},
      {"Escape", "Esc"},
      {"ArrowUp", "↑"},
      {"ArrowDown", "↓"},
      {"ArrowLeft", "←"},
      {"ArrowRight", "→"},
      {"Delete", "Delete"},
      {"Backspace", "Backspace"},
      {"F5", "F5"},
      {"F12", "F12"},
      {"F13", "F13"},
      {"Numpad1", "Numpad1"},
      {"Key", "Key"},
      {"KeyAB", "KeyAB"},
      {"Digit", "Digit"},
      {"Digit10", "Digit10"},
      {"", ""},
      // Lengths count characters, not bytes.
      {"KeyЖ", "Ж"},
      {"Digit٣", "٣"},
      {"Keye\u0301", "e\u0301"},
      {"KeyЖЖ", "KeyЖЖ"},
  };
  for (const auto& [code, label] : rows) EXPECT_EQ(GlobalCombo::name(code), label) << code;
}

TEST(GlobalComboTest, TitleIsWrittenAsThisDesktopWritesKeyCombinations) {
  const std::vector<std::pair<GlobalCombo, std::string>> rows = {
      {GlobalCombo("Space", true, true), "Ctrl+Alt+Пробел"},
      {GlobalCombo("F5", false, false, true, true), "Shift+Super+F5"},
      {GlobalCombo("KeyQ", false, false), "Q"},
      {GlobalCombo("KeyK", true, false, true), "Ctrl+Shift+K"},
      {GlobalCombo("Space", false, false, true), "Shift+Пробел"},
      {GlobalCombo("Digit1", true, true, true, true), "Ctrl+Alt+Shift+Super+1"},
      {GlobalCombo("Minus", false, false, false, true), "Super+−"},
      {GlobalCombo("Numpad1", false, true), "Alt+Numpad1"},
      {GlobalCombo("Backspace", true, false), "Ctrl+Backspace"},
      {GlobalCombo("Escape", false, true), "Alt+Esc"},
  };
  for (const auto& [combo, title] : rows) EXPECT_EQ(combo.title(), title) << combo.code;
}

TEST(GlobalComboTest, MenuKeyForLettersDigitsAndModifiedSpace) {
  using M = GlobalCombo::MenuKey;
  const std::vector<std::pair<GlobalCombo, std::optional<M>>> rows = {
      {GlobalCombo("KeyA", true, true), M{"a", 0xC0000}},
      {GlobalCombo("Space", true, true), M{" ", 0xC0000}},
      {GlobalCombo("Space", false, false, true), std::nullopt},
      {GlobalCombo("Space", false, false), std::nullopt},
      {GlobalCombo("Space", false, false, true, true), M{" ", 0x120000}},
      {GlobalCombo("Space", true, false), M{" ", 0x40000}},
      {GlobalCombo("KeyP", true, true, true, true), M{"p", 0x1E0000}},
      // Without Ctrl, Alt or Super a letter or digit would be taken from typing.
      {GlobalCombo("KeyP", false, false), std::nullopt},
      {GlobalCombo("Digit9", false, false, true), std::nullopt},
      {GlobalCombo("Digit9", false, true, true), M{"9", 0xA0000}},
      {GlobalCombo("KeyЖ", false, false, false, true), M{"ж", 0x100000}},
      {GlobalCombo("F12", true, true), std::nullopt},
      {GlobalCombo("ArrowUp", true, true), std::nullopt},
      {GlobalCombo("Minus", true, true), std::nullopt},
      {GlobalCombo("Enter", true, true), std::nullopt},
      {GlobalCombo("Tab", true, true), std::nullopt},
      {GlobalCombo("Escape", true, true), std::nullopt},
      {GlobalCombo("Key", true, true), std::nullopt},
      {GlobalCombo("KeyAB", true, true), std::nullopt},
      {GlobalCombo("Digit10", true, true), std::nullopt},
  };
  for (const auto& [combo, menu] : rows) {
    auto got = combo.menuKey();
    EXPECT_EQ(got.has_value(), menu.has_value()) << combo.code;
    if (got && menu) {
      EXPECT_EQ(got->key, menu->key) << combo.code;
      EXPECT_EQ(got->flags, menu->flags) << combo.code;
    }
  }
}

TEST(GlobalComboTest, EqualityComparesCodeAndEveryFlag) {
  GlobalCombo a("KeyP", true, true);
  EXPECT_EQ(a, GlobalCombo("KeyP", true, true));
  EXPECT_NE(a, GlobalCombo("KeyP", true, true, true));
  EXPECT_NE(a, GlobalCombo("KeyP", true, true, false, true));
  EXPECT_NE(a, GlobalCombo("KeyP", false, true));
  EXPECT_NE(a, GlobalCombo("KeyO", true, true));
}

TEST(GlobalComboTest, JsonWritesAllFiveMembersAndReadsThemBack) {
  GlobalCombo combo("KeyS", false, true, true, false);
  Json json = combo.toJson();
  EXPECT_EQ(json,
            Json::parse(R"({"code":"KeyS","ctrl":false,"alt":true,"shift":true,"meta":false})"));
  EXPECT_EQ(GlobalCombo::fromJson(json), combo);
  EXPECT_EQ(GlobalCombo::fromJson(Json::parse(json.dump())), combo);

  auto extra =
      Json::parse(R"({"code":"F5","ctrl":true,"alt":false,"shift":false,"meta":true,"x":1})");
  EXPECT_EQ(GlobalCombo::fromJson(extra), GlobalCombo("F5", true, false, false, true));
}

TEST(GlobalComboTest, DecodingFailsAsAWholeOnAMissingOrMistypedMember) {
  const std::vector<const char*> bad = {
      R"({"code":"KeyP","ctrl":true,"alt":true,"shift":false})",
      R"({"ctrl":true,"alt":true,"shift":false,"meta":false})",
      R"({"code":"KeyP","alt":true,"shift":false,"meta":false})",
      R"({"code":"KeyP","ctrl":true,"shift":false,"meta":false})",
      R"({"code":"KeyP","ctrl":true,"alt":true,"meta":false})",
      R"({"code":1,"ctrl":true,"alt":true,"shift":false,"meta":false})",
      R"({"code":null,"ctrl":true,"alt":true,"shift":false,"meta":false})",
      R"({"code":"KeyP","ctrl":1,"alt":true,"shift":false,"meta":false})",
      R"({"code":"KeyP","ctrl":true,"alt":"true","shift":false,"meta":false})",
      R"({"code":"KeyP","ctrl":true,"alt":true,"shift":null,"meta":false})",
      R"({"code":"KeyP","ctrl":true,"alt":true,"shift":false,"meta":0})",
      R"(["KeyP",true,true,false,false])",
      R"("KeyP")",
      R"(null)",
      R"({})",
  };
  for (const char* text : bad)
    EXPECT_EQ(GlobalCombo::fromJson(Json::parse(text)), std::nullopt) << text;
  EXPECT_EQ(GlobalCombo::fromJson(Json::parse("{", nullptr, false)), std::nullopt);
}

}  // namespace
}  // namespace vuko
