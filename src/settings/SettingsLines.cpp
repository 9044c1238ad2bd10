#include "settings/SettingsLines.h"

#include "hotkeys/HotkeyActions.h"
#include "server/ServerChoice.h"
#include "server/Settings.h"

namespace vuko::SettingsLines {

std::string server() {
  if (Settings::isPublic()) return ServerChoice::publicTitle();
  return "Свой сервер — " + Settings::server().str();
}

std::string hotkeys(const ComboOf& comboOf, bool commandsOnly) {
  if (!comboOf) return {};
  if (commandsOnly) return kCommandsOnly;
  auto part = [&](const char* label, const char* id, const char* none) {
    auto combo = comboOf(id);
    return std::string(label) + (combo ? combo->title() : std::string(none));
  };
  return part("Быстрая задача: ", hotkeyId(HotkeyAction::quick), "выключено") + " · " +
         part("помодоро: ", hotkeyId(HotkeyAction::focus), "выключено") + " · " +
         part("окно: ", hotkeyId(HotkeyAction::show), "не задано");
}

}  // namespace vuko::SettingsLines
