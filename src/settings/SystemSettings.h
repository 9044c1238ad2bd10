// Which program shows the desktop's own notification settings: a table of
// desktops and their settings commands, chosen by the desktops the session
// names and by what is installed. Launching the command is the platform's.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vuko::SystemSettings {

using Command = std::vector<std::string>;
// Whether a program of that name can be run.
using Installed = std::function<bool(const std::string& program)>;

// The first installed command of the desktops named in `desktops` (the
// colon-separated list of XDG_CURRENT_DESKTOP); none when no desktop of the
// list is known or none of its programs is installed.
std::optional<Command> notificationsCommand(std::string_view desktops, const Installed& installed);

}  // namespace vuko::SystemSettings
