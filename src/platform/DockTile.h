// The client's launcher icon: a badge with a short label (today's task count).
#pragma once

#include <optional>
#include <string>

namespace vuko {

class DockTile {
 public:
  // Shows label on the launcher icon, or no badge for none. A label that is
  // not a whole number above zero shows no badge either: launchers here show
  // counts only. Without a session bus nothing is shown and nothing is said.
  static void setBadgeLabel(const std::optional<std::string>& label);
  // The last label set (none before the first).
  static const std::optional<std::string>& badgeLabel();

  // The desktop entry the launcher knows the client by (kAppId).
  static constexpr const char* kAppUri = "application://app.vuko.Vuko.desktop";
};

}  // namespace vuko
