// The page side of the "vuko" script message handler: the bootstrap script
// injected into every main-frame page, the scripts that push state into the
// page, and the reading of the messages pages post back.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "hotkeys/GlobalCombo.h"

namespace vuko {

class Defaults;

namespace Bridge {

// The script message handler pages post to.
inline constexpr const char* kHandlerName = "vuko";

// Defaults keys of the page-side notification permission and reminders flag.
inline constexpr const char* kPermissionKey = "notifyPermission";
inline constexpr const char* kNativeRemindersKey = "nativeReminders";

// The permission word if it is one the page understands, else "default".
std::string safePermission(const std::string& permission);

// The bootstrap script with the two values inserted.
std::string bootstrapScript(const std::string& permission, bool nativeReminders);

// Pushes evaluated in the page without waiting for a result.
std::string permissionScript(const std::string& permission, bool answer);
std::string nativeRemindersScript(bool on);
// None when the list cannot be serialised (the push is then dropped).
std::optional<std::string> hotkeysScript(const nlohmann::json& list);

struct Message {
  enum class Type {
    notify,
    notifyPermission,
    tasksChanged,
    retry,
    chooseServer,
    getGlobalHotkeys,
    setGlobalHotkey,
    pauseGlobalHotkeys,
    resumeGlobalHotkeys,
  };
  Type type;
  // "notify" only.
  std::string title, body, tag;
  // "setGlobalHotkey" only: the hot-key id (always set for that type) and the
  // combination as {"code", "ctrl", "alt", "shift", "meta"}, none to clear.
  std::optional<std::string> id;
  std::optional<nlohmann::json> combo;
};

// None for anything that is not a message the client acts on.
std::optional<Message> parse(const nlohmann::json& value);

// The five-member form of a combination the page sent, none when it has no
// string "code".
std::optional<nlohmann::json> normalizeCombo(const nlohmann::json& value);

// The hot-key list pushed to the page: each id with null, or its combination's
// five members with "title", the combination as the client shows it, and
// "registered", whether the system took it (a combination that takes typing
// or that another program holds is kept but not registered). Where the
// desktop chose the keys, "title" is its own description of them.
nlohmann::json hotkeyList(
    const std::map<std::string, std::optional<GlobalCombo>>& all,
    const std::function<bool(const std::string& id)>& registered,
    const std::function<std::optional<std::string>(const std::string& id)>& desktopTitle = nullptr);

// A script that shows text to the user as the page's own alert.
std::string alertScript(const std::string& text);

std::string storedPermission(const Defaults& d);
bool storedNativeReminders(const Defaults& d);

}  // namespace Bridge
}  // namespace vuko
