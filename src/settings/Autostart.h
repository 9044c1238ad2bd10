// Starting the client when the user logs in: a desktop entry in the user's
// autostart folder that the desktop runs at login, written or removed by the
// settings window's switch. Also the hint under the switch, shown once a
// reminder reached the user while the client would not start by itself.
#pragma once

#include <optional>
#include <string>

namespace vuko {

class Defaults;

namespace Autostart {

inline constexpr const char* kSwitch = "Запускать при входе в систему";
inline constexpr const char* kHint =
    "Напоминания приходят, только пока Vuko запущен: включите, чтобы они не пропали после "
    "перезагрузки.";
inline constexpr const char* kCommand = "vuko --background";
// Set once a reminder was delivered while the client did not start at login.
inline constexpr const char* kReminderWhileOffKey = "reminderDeliveredWithoutAutostart";

// $XDG_CONFIG_HOME/autostart/<application id>.desktop
std::string path();
// The entry as written.
std::string entry();

// Whether the desktop starts the client at login: the entry exists and the
// user did not turn it off in the desktop's own autostart settings (Hidden=true
// or X-GNOME-Autostart-enabled=false). No entry: off.
bool startsAtLogin();
// Writes the entry (over one the desktop turned off) or removes it. None when
// done, otherwise the message for the user; the entry is then as it was.
std::optional<std::string> setStartsAtLogin(bool on);

// A reminder reached the user: remembered when the client does not start at
// login. True when that was news.
bool reminderDelivered(Defaults& d, bool startsAtLogin);
// The line under the switch: the hint while it is off after such a reminder.
std::string hint(const Defaults& d, bool startsAtLogin);

}  // namespace Autostart
}  // namespace vuko
