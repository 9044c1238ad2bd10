// The delegate's part in the kept copy of the signed-in user's token.
#include <glib.h>

#include "app/gtk/AppDelegate.h"
#include "platform/AppId.h"
#include "server/SessionCopy.h"
#include "server/Settings.h"
#include "web/gtk/WebController.h"

namespace vuko {

namespace {

// Whether the desktop starts the client at login: its autostart entry is
// there and not turned off.
bool startsAtLogin() {
  const std::string name = std::string(kAppId) + ".desktop";
  char* path = g_build_filename(g_get_user_config_dir(), "autostart", name.c_str(), nullptr);
  GKeyFile* entry = g_key_file_new();
  constexpr const char* group = G_KEY_FILE_DESKTOP_GROUP;
  const bool on = g_key_file_load_from_file(entry, path, G_KEY_FILE_NONE, nullptr) &&
                  !g_key_file_get_boolean(entry, group, "Hidden", nullptr) &&
                  (!g_key_file_has_key(entry, group, "X-GNOME-Autostart-enabled", nullptr) ||
                   g_key_file_get_boolean(entry, group, "X-GNOME-Autostart-enabled", nullptr));
  g_key_file_free(entry);
  g_free(path);
  return on;
}

}  // namespace

void AppDelegate::keepSession(bool asleep) {
  // A test run keeps nothing between runs.
  session_ = std::make_unique<SessionCopy>(SealedFile::session(), [inMemory = config_.inMemory] {
    return !inMemory && startsAtLogin();
  });
  auto kept = session_->atStart(Settings::server().str());
  if (asleep && kept) main_->lendToken(*kept);
  main_->onToken = [this, alive = life_.guard()](const std::string& token) {
    if (alive) session_->pageToken(token, Settings::server().str());
  };
}

}  // namespace vuko
