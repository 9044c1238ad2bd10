// The one name the desktop knows the client by: the application's bus name,
// its windows' Wayland app_id, its desktop entry (with ".desktop") and the
// name portals and notification servers look it up under.
#pragma once

namespace vuko {

inline constexpr const char* kAppId = "app.vuko.Vuko";
// The themed icon, installed under its own short name.
inline constexpr const char* kAppIcon = "vuko";

}  // namespace vuko
