// The lines of the settings window that come from the current state: the
// server in use, the hot-key summary and the reminder delivery line.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "hotkeys/GlobalCombo.h"
#include "wording/SystemWording.h"

namespace vuko::SettingsLines {

inline constexpr const char* kTitle = "Настройки";
inline constexpr const char* kServerHeading = "Сервер";
inline constexpr const char* kChangeServer = "Сменить сервер…";
inline constexpr const char* kHotkeysHeading = "Горячие клавиши";
inline constexpr const char* kEditHotkeys = "Изменить…";
inline constexpr const char* kNotifyHeading = "Уведомления";
inline constexpr const char* kNote =
    "Когда и о чём напоминать — в «Vuko → Настройки → Уведомления».";
// The notification line while the delivery mode is not known yet.
inline constexpr const char* kChecking = "Проверяем…";

// The public server's title as the server sheet words it, or "Свой сервер — "
// and the server's address.
std::string server();

// The combination in force for a hot-key id, none when it is off.
using ComboOf = std::function<std::optional<GlobalCombo>(const std::string& id)>;

// Where neither a key grab nor the desktop's shortcut service works.
inline constexpr const char* kCommandsOnly =
    "Рабочий стол не даёт программам глобальных сочетаний: назначьте их в его настройках "
    "клавиатуры на команды «vuko --quick» (быстрая задача), «vuko --show» (окно) и "
    "«vuko --focus» (помодоро).";

// "Быстрая задача: … · помодоро: … · окно: …"; empty without a registry.
// With commandsOnly, how to bind the command line instead.
std::string hotkeys(const ComboOf& comboOf, bool commandsOnly = false);

// The notification line for a reminder delivery mode: any enumeration with
// the members unknown, system, own and off.
template <class Mode>
std::string notify(Mode mode) {
  switch (mode) {
    case Mode::system:
      return wording::notifySystem;
    case Mode::own:
      return wording::notifyOwn;
    case Mode::off:
      return wording::notifyOff;
    default:
      return kChecking;
  }
}

}  // namespace vuko::SettingsLines
