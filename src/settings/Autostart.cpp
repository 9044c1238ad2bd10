#include "settings/Autostart.h"

#include <glib.h>

#include "platform/AppId.h"
#include "platform/ConfigFile.h"
#include "platform/Defaults.h"

namespace vuko::Autostart {

namespace {

constexpr const char* kGroup = G_KEY_FILE_DESKTOP_GROUP;
constexpr const char* kEnabledKey = "X-GNOME-Autostart-enabled";

ConfigFile file() {
  return ConfigFile(std::string("autostart/") + kAppId + ".desktop");
}

// A key the entry sets to false or true; absent or unreadable counts as fallback.
bool flag(GKeyFile* keys, const char* key, bool fallback) {
  GError* error = nullptr;
  const gboolean value = g_key_file_get_boolean(keys, kGroup, key, &error);
  if (!error) return value;
  g_error_free(error);
  return fallback;
}

}  // namespace

std::string path() {
  return file().path();
}

std::string entry() {
  GKeyFile* keys = g_key_file_new();
  g_key_file_set_string(keys, kGroup, G_KEY_FILE_DESKTOP_KEY_TYPE,
                        G_KEY_FILE_DESKTOP_TYPE_APPLICATION);
  g_key_file_set_string(keys, kGroup, G_KEY_FILE_DESKTOP_KEY_NAME, "Vuko");
  g_key_file_set_string(keys, kGroup, G_KEY_FILE_DESKTOP_KEY_COMMENT,
                        "Напоминания о задачах с момента входа в систему");
  g_key_file_set_string(keys, kGroup, G_KEY_FILE_DESKTOP_KEY_EXEC, kCommand);
  g_key_file_set_string(keys, kGroup, G_KEY_FILE_DESKTOP_KEY_ICON, kAppIcon);
  g_key_file_set_boolean(keys, kGroup, G_KEY_FILE_DESKTOP_KEY_TERMINAL, FALSE);
  g_key_file_set_boolean(keys, kGroup, kEnabledKey, TRUE);
  char* data = g_key_file_to_data(keys, nullptr, nullptr);
  std::string text = data;
  g_free(data);
  g_key_file_free(keys);
  return text;
}

bool startsAtLogin() {
  const auto text = file().read();
  if (!text) return false;
  GKeyFile* keys = g_key_file_new();
  // An entry the desktop cannot read does not start anything either.
  bool on = g_key_file_load_from_data(keys, text->data(), text->size(), G_KEY_FILE_NONE, nullptr) &&
            g_key_file_has_group(keys, kGroup) &&
            !flag(keys, G_KEY_FILE_DESKTOP_KEY_HIDDEN, false) && flag(keys, kEnabledKey, true);
  g_key_file_free(keys);
  return on;
}

std::optional<std::string> setStartsAtLogin(bool on) {
  if (on) {
    if (auto reason = file().write(entry()))
      return "Не удалось включить запуск при входе: " + *reason;
  } else if (auto reason = file().remove()) {
    return "Не удалось выключить запуск при входе: " + *reason;
  }
  return std::nullopt;
}

bool reminderDelivered(Defaults& d, bool startsAtLogin) {
  if (startsAtLogin || d.boolean(kReminderWhileOffKey).value_or(false)) return false;
  d.setBool(kReminderWhileOffKey, true);
  return true;
}

std::string hint(const Defaults& d, bool startsAtLogin) {
  if (startsAtLogin || !d.boolean(kReminderWhileOffKey).value_or(false)) return {};
  return kHint;
}

}  // namespace vuko::Autostart
