#include "settings/SystemSettings.h"

#include <algorithm>
#include <cctype>

namespace vuko::SystemSettings {

namespace {

struct Row {
  const char* desktop;  // as XDG_CURRENT_DESKTOP names it
  Command command;
};

// Each desktop's own notification settings, by the programs its packages
// install; a desktop with more than one is tried in order.
const std::vector<Row>& table() {
  static const std::vector<Row> rows = {
      {"GNOME", {"gnome-control-center", "notifications"}},
      {"Unity", {"gnome-control-center", "notifications"}},
      {"KDE", {"systemsettings", "kcm_notifications"}},
      {"KDE", {"kcmshell6", "kcm_notifications"}},
      {"KDE", {"kcmshell5", "kcm_notifications"}},
      {"XFCE", {"xfce4-notifyd-config"}},
      {"X-Cinnamon", {"cinnamon-settings", "notifications"}},
      {"Cinnamon", {"cinnamon-settings", "notifications"}},
      {"MATE", {"mate-notification-properties"}},
      {"LXQt", {"lxqt-config-notificationd"}},
  };
  return rows;
}

bool sameName(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

std::optional<Command> notificationsCommand(std::string_view desktops, const Installed& installed) {
  if (!installed) return std::nullopt;
  // The list runs from the most specific name ("ubuntu") to the desktop it
  // builds on ("GNOME"); the first one with an installed program wins.
  while (!desktops.empty()) {
    const auto colon = desktops.find(':');
    const std::string_view name = desktops.substr(0, colon);
    for (const auto& row : table())
      if (sameName(name, row.desktop) && installed(row.command.front())) return row.command;
    if (colon == std::string_view::npos) break;
    desktops.remove_prefix(colon + 1);
  }
  return std::nullopt;
}

}  // namespace vuko::SystemSettings
