#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "hotkeys/GlobalCombo.h"

namespace vuko {
namespace {

using Json = nlohmann::json;

TEST(GlobalComboTest, KeyTableHasEveryRowWithItsCarbonCode) {
  const std::vector<std::pair<std::string, std::uint32_t>> rows = {
      {"KeyA", 0},         {"KeyB", 11},         {"KeyC", 8},        {"KeyD", 2},
      {"KeyE", 14},        {"KeyF", 3},          {"KeyG", 5},        {"KeyH", 4},
      {"KeyI", 34},        {"KeyJ", 38},         {"KeyK", 40},       {"KeyL", 37},
      {"KeyM", 46},        {"KeyN", 45},         {"KeyO", 31},       {"KeyP", 35},
      {"KeyQ", 12},        {"KeyR", 15},         {"KeyS", 1},        {"KeyT", 17},
      {"KeyU", 32},        {"KeyV", 9},          {"KeyW", 13},       {"KeyX", 7},
      {"KeyY", 16},        {"KeyZ", 6},          {"Digit0", 29},     {"Digit1", 18},
      {"Digit2", 19},      {"Digit3", 20},       {"Digit4", 21},     {"Digit5", 23},
      {"Digit6", 22},      {"Digit7", 26},       {"Digit8", 28},     {"Digit9", 25},
      {"Space", 49},       {"Enter", 36},        {"Tab", 48},        {"Escape", 53},
      {"Backspace", 51},   {"Delete", 117},      {"Slash", 44},      {"Backslash", 42},
      {"Period", 47},      {"Comma", 43},        {"Semicolon", 41},  {"Quote", 39},
      {"BracketLeft", 33}, {"BracketRight", 30}, {"Minus", 27},      {"Equal", 24},
      {"Backquote", 50},   {"ArrowUp", 126},     {"ArrowDown", 125}, {"ArrowLeft", 123},
      {"ArrowRight", 124}, {"F1", 122},          {"F2", 120},        {"F3", 99},
      {"F4", 118},         {"F5", 96},           {"F6", 97},         {"F7", 98},
      {"F8", 100},         {"F9", 101},          {"F10", 109},       {"F11", 103},
      {"F12", 111},
  };
  ASSERT_EQ(rows.size(), 69u);
  for (const auto& [code, key] : rows) {
    EXPECT_EQ(GlobalCombo(code, false, false).carbonKey(), key) << code;
  }
}

TEST(GlobalComboTest, CodesOutsideTheTableHaveNoCarbonKey) {
  for (const char* code : {"F13", "F0", "Numpad1", "NumpadEnter", "keya", "Key", "KeyAB", "", "F"})
    EXPECT_EQ(GlobalCombo(code, true, true).carbonKey(), std::nullopt) << code;
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
      {"Enter", "↩"},
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
      {"Tab", "⇥"},
      {"Escape", "⎋"},
      {"ArrowUp", "↑"},
      {"ArrowDown", "↓"},
      {"ArrowLeft", "←"},
      {"ArrowRight", "→"},
      {"Delete", "⌦"},
      {"Backspace", "⌫"},
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

TEST(GlobalComboTest, TitleIsModifierSymbolsInFixedOrderThenTheLabel) {
  const std::vector<std::pair<GlobalCombo, std::string>> rows = {
      {GlobalCombo("Space", true, true), "⌃⌥Пробел"},
      {GlobalCombo("F5", false, false, true, true), "⇧⌘F5"},
      {GlobalCombo("KeyQ", false, false), "Q"},
      {GlobalCombo("KeyA", true, true), "⌃⌥A"},
      {GlobalCombo("Space", false, false, true), "⇧Пробел"},
      {GlobalCombo("Digit1", true, true, true, true), "⌃⌥⇧⌘1"},
      {GlobalCombo("Minus", false, false, false, true), "⌘−"},
      {GlobalCombo("Numpad1", false, true), "⌥Numpad1"},
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
      {GlobalCombo("KeyP", false, false), M{"p", 0}},
      {GlobalCombo("Digit9", false, false, true), M{"9", 0x20000}},
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
