// The client's hot-key actions in one table: the id the settings store and
// the page use, the number the hot-key service reports on a press, and the
// command-line option that runs the same action where no key can be grabbed.
#pragma once

#include <cstdint>
#include <string_view>

namespace vuko {

enum class HotkeyAction { quick, show, focus };

struct HotkeyActionRow {
  HotkeyAction action;
  // The id, and the command-line option's long name.
  const char* id;
  std::uint32_t number;
  // The option's line in the command-line help.
  const char* help;
  // The action's name in the page's hot-key settings, which the desktop shows
  // when it binds the shortcut.
  const char* title;
};

inline constexpr HotkeyActionRow kHotkeyActions[] = {
    {HotkeyAction::quick, "quick", 1, "Открыть или закрыть панель быстрой задачи",
     "Быстрая задача из любой программы"},
    {HotkeyAction::show, "show", 2, "Показать или спрятать главное окно", "Показать окно Vuko"},
    {HotkeyAction::focus, "focus", 3, "Открыть или закрыть окно помодоро",
     "Помодоро поверх всех окон"},
};

// The row of an id, none for an id outside the table.
inline const HotkeyActionRow* findHotkeyAction(std::string_view id) {
  for (const auto& row : kHotkeyActions)
    if (id == row.id) return &row;
  return nullptr;
}

inline const char* hotkeyId(HotkeyAction action) {
  for (const auto& row : kHotkeyActions)
    if (row.action == action) return row.id;
  return "";
}

}  // namespace vuko
