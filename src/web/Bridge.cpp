#include "web/Bridge.h"

#include "platform/Defaults.h"

namespace vuko::Bridge {

namespace {

constexpr const char* kScriptHead = R"JS((function () {
  const post = (m) => { try { window.webkit.messageHandlers.vuko.postMessage(m); } catch (_) {} };
  window.__vukoNotifyPermission = ')JS";

constexpr const char* kScriptMiddle = R"JS(';
  window.vukoMacReminders = )JS";

constexpr const char* kScriptTail = R"JS(;
  class VukoNotification {
    constructor(title, opts) { opts = opts || {}; post({ type: 'notify', title: String(title || ''), body: String(opts.body || ''), tag: String(opts.tag || '') }); }
    static get permission() { return window.__vukoNotifyPermission; }
    static requestPermission(cb) {
      return new Promise((res) => { window.__vukoNotifyResolve = (p) => { if (cb) cb(p); res(p); }; post({ type: 'notifyPermission' }); });
    }
    close() {}
  }
  window.Notification = VukoNotification;
  window.vukoMac = true;
})();
)JS";

const std::map<std::string, Message::Type>& types() {
  static const std::map<std::string, Message::Type> table{
      {"notify", Message::Type::notify},
      {"notifyPermission", Message::Type::notifyPermission},
      {"tasksChanged", Message::Type::tasksChanged},
      {"retry", Message::Type::retry},
      {"chooseServer", Message::Type::chooseServer},
      {"getGlobalHotkeys", Message::Type::getGlobalHotkeys},
      {"setGlobalHotkey", Message::Type::setGlobalHotkey},
      {"pauseGlobalHotkeys", Message::Type::pauseGlobalHotkeys},
      {"resumeGlobalHotkeys", Message::Type::resumeGlobalHotkeys},
  };
  return table;
}

// Members are read leniently: missing or of another JSON type means the default.
std::string stringMember(const nlohmann::json& object, const char* key, const char* fallback) {
  auto it = object.find(key);
  return it != object.end() && it->is_string() ? it->get<std::string>() : fallback;
}

bool boolMember(const nlohmann::json& object, const char* key) {
  auto it = object.find(key);
  return it != object.end() && it->is_boolean() && it->get<bool>();
}

}  // namespace

// The word is put into the scripts between quotes without escaping, and the
// stored value comes from a file anyone can edit, so only the three known words
// ever reach a script.
std::string safePermission(const std::string& permission) {
  if (permission == "default" || permission == "granted" || permission == "denied")
    return permission;
  return "default";
}

std::string bootstrapScript(const std::string& permission, bool nativeReminders) {
  return kScriptHead + safePermission(permission) + kScriptMiddle +
         (nativeReminders ? "true" : "false") + kScriptTail;
}

std::string permissionScript(const std::string& permission, bool answer) {
  const std::string word = safePermission(permission);
  std::string script = "window.__vukoNotifyPermission = '" + word + "'; ";
  if (answer) script += "window.__vukoNotifyResolve && window.__vukoNotifyResolve('" + word + "');";
  script += " window.dispatchEvent(new Event('vukonotifypermission')); true";
  return script;
}

std::string nativeRemindersScript(bool on) {
  return std::string("window.vukoMacReminders = ") + (on ? "true" : "false") + "; true";
}

std::optional<std::string> hotkeysScript(const nlohmann::json& list) {
  std::string text;
  try {
    text = list.dump();
  } catch (const nlohmann::json::exception&) {
    return std::nullopt;  // invalid UTF-8 in a string
  }
  return "window.__vukoMacHotkeys && window.__vukoMacHotkeys(" + text + ")";
}

std::optional<nlohmann::json> normalizeCombo(const nlohmann::json& value) {
  if (!value.is_object()) return std::nullopt;
  auto code = value.find("code");
  if (code == value.end() || !code->is_string()) return std::nullopt;
  return nlohmann::json{{"code", code->get<std::string>()},
                        {"ctrl", boolMember(value, "ctrl")},
                        {"alt", boolMember(value, "alt")},
                        {"shift", boolMember(value, "shift")},
                        {"meta", boolMember(value, "meta")}};
}

std::optional<Message> parse(const nlohmann::json& value) {
  if (!value.is_object() || value.empty()) return std::nullopt;
  auto typeMember = value.find("type");
  if (typeMember == value.end() || !typeMember->is_string()) return std::nullopt;
  auto type = types().find(typeMember->get<std::string>());
  if (type == types().end()) return std::nullopt;

  Message m;
  m.type = type->second;
  switch (m.type) {
    case Message::Type::notify:
      m.title = stringMember(value, "title", "Vuko");
      m.body = stringMember(value, "body", "");
      m.tag = stringMember(value, "tag", "");
      break;
    case Message::Type::setGlobalHotkey: {
      auto id = value.find("id");
      if (id == value.end() || !id->is_string()) return std::nullopt;
      m.id = id->get<std::string>();
      if (auto combo = value.find("combo"); combo != value.end()) m.combo = normalizeCombo(*combo);
      break;
    }
    default:
      break;
  }
  return m;
}

nlohmann::json hotkeyList(
    const std::map<std::string, std::optional<GlobalCombo>>& all,
    const std::function<bool(const std::string& id)>& registered,
    const std::function<std::optional<std::string>(const std::string& id)>& desktopTitle) {
  nlohmann::json list = nlohmann::json::object();
  for (const auto& [id, combo] : all) {
    if (!combo) {
      list[id] = nullptr;
      continue;
    }
    nlohmann::json entry = combo->toJson();
    auto chosen = desktopTitle ? desktopTitle(id) : std::nullopt;
    entry["title"] = chosen ? *chosen : combo->title();
    entry["registered"] = registered && registered(id);
    list[id] = std::move(entry);
  }
  return list;
}

std::string alertScript(const std::string& text) {
  // A JSON string is a JavaScript string literal; broken UTF-8 is replaced,
  // never a reason to say nothing.
  return "window.alert(" +
         nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) +
         "); true";
}

std::string storedPermission(const Defaults& d) {
  return safePermission(d.string(kPermissionKey).value_or("default"));
}

bool storedNativeReminders(const Defaults& d) {
  return d.boolean(kNativeRemindersKey).value_or(true);
}

}  // namespace vuko::Bridge
