#include "hotkeys/GlobalCombo.h"

#include <glib.h>

#include <array>
#include <map>
#include <vector>

#include "wording/SystemWording.h"

namespace vuko {

namespace {

const std::map<std::string, std::uint32_t>& keys() {
  static const std::map<std::string, std::uint32_t> table = [] {
    std::map<std::string, std::uint32_t> t = {
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
        {"ArrowRight", 124},
    };
    static constexpr std::array<std::uint32_t, 12> function = {122, 120, 99,  118, 96,  97,
                                                               98,  100, 101, 109, 103, 111};
    for (std::size_t n = 1; n <= function.size(); ++n) t["F" + std::to_string(n)] = function[n - 1];
    return t;
  }();
  return table;
}

const std::map<std::string, std::string>& labels() {
  static const std::map<std::string, std::string> table = {
      {"Space", "Пробел"},
      {"Enter", wording::keyEnter},
      {"Slash", "/"},
      {"Backslash", "\\"},
      {"Period", "."},
      {"Comma", ","},
      {"Semicolon", ";"},
      {"Quote", "'"},
      {"BracketLeft", "["},
      {"BracketRight", "]"},
      {"Minus", "−"},
      {"Equal", "="},
      {"Backquote", "`"},
      {"Tab", wording::keyTab},
      {"Escape", wording::keyEscape},
      {"ArrowUp", "↑"},
      {"ArrowDown", "↓"},
      {"ArrowLeft", "←"},
      {"ArrowRight", "→"},
      {"Delete", wording::keyDelete},
      {"Backspace", wording::keyBackspace},
  };
  return table;
}

// Key-code names → keysym names, for the keys whose names differ.
const std::map<std::string, std::string>& keysymNames() {
  static const std::map<std::string, std::string> table = {
      {"Space", "space"},
      {"Enter", "Return"},
      {"Tab", "Tab"},
      {"Escape", "Escape"},
      {"Backspace", "BackSpace"},
      {"Delete", "Delete"},
      {"Slash", "slash"},
      {"Backslash", "backslash"},
      {"Period", "period"},
      {"Comma", "comma"},
      {"Semicolon", "semicolon"},
      {"Quote", "apostrophe"},
      {"BracketLeft", "bracketleft"},
      {"BracketRight", "bracketright"},
      {"Minus", "minus"},
      {"Equal", "equal"},
      {"Backquote", "grave"},
      {"ArrowUp", "Up"},
      {"ArrowDown", "Down"},
      {"ArrowLeft", "Left"},
      {"ArrowRight", "Right"},
  };
  return table;
}

// Decodes one UTF-8 sequence at i; a malformed byte counts as one character
// on its own, so no input can stall or overrun the walk.
char32_t decode(const std::string& s, std::size_t& i) {
  const char* p = s.data() + i;
  gunichar c = g_utf8_get_char_validated(p, static_cast<gssize>(s.size() - i));
  if (c == static_cast<gunichar>(-1) || c == static_cast<gunichar>(-2)) {
    ++i;
    return 0xFFFD;
  }
  i += g_utf8_next_char(p) - p;
  return c;
}

// Code points that attach to the character before them: combining marks,
// variation selectors, emoji modifiers and the zero-width joiner.
bool extends(char32_t c) {
  return (c >= 0x0300 && c <= 0x036F) || (c >= 0x1AB0 && c <= 0x1AFF) ||
         (c >= 0x1DC0 && c <= 0x1DFF) || (c >= 0x20D0 && c <= 0x20FF) ||
         (c >= 0xFE00 && c <= 0xFE0F) || (c >= 0xFE20 && c <= 0xFE2F) || c == 0x200D ||
         (c >= 0x1F3FB && c <= 0x1F3FF) || (c >= 0xE0100 && c <= 0xE01EF);
}

// Byte offsets where user-perceived characters begin; the names are ASCII in
// practice, but a stored code can be any string.
std::vector<std::size_t> characterStarts(const std::string& s) {
  std::vector<std::size_t> starts;
  bool joined = false;
  for (std::size_t i = 0; i < s.size();) {
    std::size_t at = i;
    char32_t c = decode(s, i);
    if (starts.empty() || !(extends(c) || joined)) starts.push_back(at);
    joined = c == 0x200D;
  }
  return starts;
}

// The last character of a code of exactly `length` characters after `prefix`.
std::optional<std::string> lastOfShape(const std::string& code, std::string_view prefix,
                                       std::size_t length) {
  if (!code.starts_with(prefix)) return std::nullopt;
  auto starts = characterStarts(code);
  if (starts.size() != length) return std::nullopt;
  return code.substr(starts.back());
}

// Lower case letter by letter, the same in every locale.
std::string lowered(const std::string& s) {
  if (!g_utf8_validate(s.data(), static_cast<gssize>(s.size()), nullptr)) return s;
  std::string out;
  for (const char* p = s.data(); p < s.data() + s.size(); p = g_utf8_next_char(p)) {
    char bytes[6];
    out.append(bytes, g_unichar_to_utf8(g_unichar_tolower(g_utf8_get_char(p)), bytes));
  }
  return out;
}

}  // namespace

std::optional<std::uint32_t> GlobalCombo::carbonKey() const {
  auto it = keys().find(code);
  if (it == keys().end()) return std::nullopt;
  return it->second;
}

std::vector<std::string> GlobalCombo::codes() {
  std::vector<std::string> out;
  for (const auto& [code, key] : keys()) out.push_back(code);
  return out;
}

std::uint32_t GlobalCombo::carbonMods() const {
  return (ctrl ? controlKey : 0) | (alt ? optionKey : 0) | (shift ? shiftKey : 0) |
         (meta ? cmdKey : 0);
}

std::string GlobalCombo::name(const std::string& code) {
  if (auto last = lastOfShape(code, "Key", 4)) return *last;
  if (auto last = lastOfShape(code, "Digit", 6)) return *last;
  if (auto it = labels().find(code); it != labels().end()) return it->second;
  return code;
}

std::string GlobalCombo::shortcutTrigger() const {
  if (!carbonKey()) return {};
  std::string key;
  if (auto it = keysymNames().find(code); it != keysymNames().end())
    key = it->second;
  else if (code.starts_with("Key"))
    key = lowered(code.substr(3));
  else if (code.starts_with("Digit"))
    key = code.substr(5);
  else
    key = code;  // F1…F12
  std::string out;
  if (ctrl) out += "CTRL+";
  if (alt) out += "ALT+";
  if (shift) out += "SHIFT+";
  if (meta) out += "LOGO+";
  return out + key;
}

std::string GlobalCombo::title() const {
  std::string out;
  if (ctrl) out += wording::comboCtrl;
  if (alt) out += wording::comboAlt;
  if (shift) out += wording::comboShift;
  if (meta) out += wording::comboSuper;
  return out + name(code);
}

bool GlobalCombo::takesTyping() const {
  if (ctrl || alt || meta) return false;
  bool functionKey = code.size() >= 2 && code[0] == 'F' &&
                     code.find_first_not_of("0123456789", 1) == std::string::npos;
  return !functionKey;
}

std::optional<GlobalCombo::MenuKey> GlobalCombo::menuKey() const {
  // As a menu key it would fire while the user types into the page.
  if (takesTyping()) return std::nullopt;
  std::string key;
  if (code == "Space")
    key = " ";
  else if (auto letter = lastOfShape(code, "Key", 4))
    key = lowered(*letter);
  else if (auto digit = lastOfShape(code, "Digit", 6))
    key = *digit;
  else
    return std::nullopt;
  std::uint64_t flags = (ctrl ? menuControl : 0) | (alt ? menuOption : 0) |
                        (shift ? menuShift : 0) | (meta ? menuCommand : 0);
  return MenuKey{key, flags};
}

nlohmann::json GlobalCombo::toJson() const {
  return {{"code", code}, {"ctrl", ctrl}, {"alt", alt}, {"shift", shift}, {"meta", meta}};
}

std::optional<GlobalCombo> GlobalCombo::fromJson(const nlohmann::json& json) {
  if (!json.is_object()) return std::nullopt;
  auto text = json.find("code");
  if (text == json.end() || !text->is_string()) return std::nullopt;
  GlobalCombo combo;
  combo.code = text->get<std::string>();
  for (auto [member, field] : {std::pair{"ctrl", &GlobalCombo::ctrl},
                               {"alt", &GlobalCombo::alt},
                               {"shift", &GlobalCombo::shift},
                               {"meta", &GlobalCombo::meta}}) {
    auto it = json.find(member);
    if (it == json.end() || !it->is_boolean()) return std::nullopt;
    combo.*field = it->get<bool>();
  }
  return combo;
}

}  // namespace vuko
