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
  EXPECT_EQ(GlobalCombo("F13", true, true).carbonKey(), std::nullopt);
}

TEST(GlobalComboTest, CarbonModsAreTheOrOfTheFlags) {
  EXPECT_EQ(GlobalCombo("KeyA", false, false).carbonMods(), 0u);
  EXPECT_EQ(GlobalCombo("KeyA", true, false).carbonMods(), 0x1000u);
  EXPECT_EQ(GlobalCombo("KeyA", false, true).carbonMods(), 0x0800u);
  EXPECT_EQ(GlobalCombo("KeyA", false, false, true).carbonMods(), 0x0200u);
  EXPECT_EQ(GlobalCombo("KeyA", false, false, false, true).carbonMods(), 0x0100u);
}

TEST(GlobalComboTest, NameFollowsItsRulesInOrder) {
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"KeyA", "A"},
      {"Keya", "a"},
      {"Digit7", "7"},
      {"Space", "Пробел"},
      {"Minus", "\u2212"},
      {"F5", "F5"},
      {"Numpad1", "Numpad1"},
      {"KeyAB", "KeyAB"},
      {"Digit", "Digit"},
      {"", ""},
      // Lengths count characters, not bytes.
      {"KeyЖ", "Ж"},
      {"Keye\u0301", "e\u0301"},
      {"KeyЖЖ", "KeyЖЖ"},
  };
  for (const auto& [code, label] : rows) EXPECT_EQ(GlobalCombo::name(code), label) << code;
}

TEST(GlobalComboTest, TitleIsWrittenAsThisDesktopWritesKeyCombinations) {
  EXPECT_EQ(GlobalCombo("Digit1", true, true, true, true).title(), "Ctrl+Alt+Shift+Super+1");
  EXPECT_EQ(GlobalCombo("Space", false, false, true).title(), "Shift+Пробел");
  EXPECT_EQ(GlobalCombo("KeyQ", false, false).title(), "Q");
}

TEST(GlobalComboTest, MenuKeyForLettersDigitsAndModifiedSpace) {
  using M = GlobalCombo::MenuKey;
  const std::vector<std::pair<GlobalCombo, std::optional<M>>> rows = {
      {GlobalCombo("KeyA", true, true), M{"a", 0xC0000}},
      {GlobalCombo("Space", false, false, true, true), M{" ", 0x120000}},
      {GlobalCombo("KeyЖ", false, false, false, true), M{"ж", 0x100000}},
      {GlobalCombo("Digit9", false, true, true), M{"9", 0xA0000}},
      // Without Ctrl, Alt or Super a key would be taken from typing.
      {GlobalCombo("Space", false, false, true), std::nullopt},
      {GlobalCombo("KeyP", false, false), std::nullopt},
      // Keys a menu cannot show.
      {GlobalCombo("F12", true, true), std::nullopt},
      {GlobalCombo("Minus", true, true), std::nullopt},
      {GlobalCombo("KeyAB", true, true), std::nullopt},
      {GlobalCombo("Digit10", true, true), std::nullopt},
  };
  for (const auto& [combo, menu] : rows) EXPECT_EQ(combo.menuKey(), menu) << combo.code;
}

TEST(GlobalComboTest, JsonNeedsAllFiveMembersWithTheirTypes) {
  GlobalCombo combo("KeyS", false, true, true, false);
  EXPECT_EQ(combo.toJson(),
            Json::parse(R"({"code":"KeyS","ctrl":false,"alt":true,"shift":true,"meta":false})"));
  EXPECT_EQ(GlobalCombo::fromJson(combo.toJson()), combo);
  auto extra =
      Json::parse(R"({"code":"F5","ctrl":true,"alt":false,"shift":false,"meta":true,"x":1})");
  EXPECT_EQ(GlobalCombo::fromJson(extra), GlobalCombo("F5", true, false, false, true));

  const char* const bad[] = {
      R"({"code":"KeyP","ctrl":true,"alt":true,"shift":false})",
      R"({"ctrl":true,"alt":true,"shift":false,"meta":false})",
      R"({"code":1,"ctrl":true,"alt":true,"shift":false,"meta":false})",
      R"({"code":"KeyP","ctrl":1,"alt":true,"shift":false,"meta":false})",
      R"({"code":"KeyP","ctrl":true,"alt":true,"shift":null,"meta":false})",
      R"(["KeyP",true,true,false,false])",
  };
  for (const char* text : bad)
    EXPECT_EQ(GlobalCombo::fromJson(Json::parse(text)), std::nullopt) << text;
}

}  // namespace
}  // namespace vuko
