// One keyboard shortcut as the page describes it: a key-code name from the
// page's keyboard-event vocabulary ("KeyA", "Digit1", "Space", "F5") and four
// modifier flags. It knows the other forms the client needs: the Carbon key
// code and modifier mask for the hot-key service, a label for the user, and a
// menu key equivalent.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace vuko {

class GlobalCombo {
 public:
  // Carbon modifier masks.
  static constexpr std::uint32_t cmdKey = 0x0100;
  static constexpr std::uint32_t shiftKey = 0x0200;
  static constexpr std::uint32_t optionKey = 0x0800;
  static constexpr std::uint32_t controlKey = 0x1000;

  // Menu modifier flags (the AppKit event modifier flag values).
  static constexpr std::uint64_t menuShift = 0x20000;
  static constexpr std::uint64_t menuControl = 0x40000;
  static constexpr std::uint64_t menuOption = 0x80000;
  static constexpr std::uint64_t menuCommand = 0x100000;

  struct MenuKey {
    std::string key;
    std::uint64_t flags = 0;
    bool operator==(const MenuKey&) const = default;
  };

  GlobalCombo() = default;
  GlobalCombo(std::string keyCode, bool withCtrl, bool withAlt, bool withShift = false,
              bool withMeta = false)
      : code(std::move(keyCode)), ctrl(withCtrl), alt(withAlt), shift(withShift), meta(withMeta) {}

  std::string code;
  bool ctrl = false;
  bool alt = false;
  bool shift = false;
  bool meta = false;

  bool operator==(const GlobalCombo&) const = default;

  // The Carbon virtual key code; absent for a code outside the key table.
  std::optional<std::uint32_t> carbonKey() const;
  // Every code of the key table.
  static std::vector<std::string> codes();
  std::uint32_t carbonMods() const;
  // The combination in the freedesktop shortcuts format the portal takes
  // ("CTRL+ALT+space": modifiers, then the key's keysym name); empty for a
  // key outside the key table.
  std::string shortcutTrigger() const;
  // The combination as this desktop writes it, e.g. "Ctrl+Alt+Пробел".
  std::string title() const;
  // Pressed without Ctrl, Alt or Super, every key but a function key types
  // into the text field in front: such a combination is neither a global hot
  // key nor a menu key.
  bool takesTyping() const;
  // Absent for keys a menu cannot show, and for a combination that takes typing.
  std::optional<MenuKey> menuKey() const;

  // The label of a key-code name ("KeyA" → "A", "Minus" → "−", "F5" → "F5").
  static std::string name(const std::string& code);

  // {"code", "ctrl", "alt", "shift", "meta"}; decoding needs all five with
  // their types and ignores other members.
  nlohmann::json toJson() const;
  static std::optional<GlobalCombo> fromJson(const nlohmann::json& json);
};

}  // namespace vuko
