// The page bridge of the main window: the bootstrap script, messages from
// the pages, the pushes back into the main page and the page's token.
#include "hotkeys/GlobalCombo.h"
#include "hotkeys/Hotkeys.h"
#include "platform/Defaults.h"
#include "server/Settings.h"
#include "web/Bridge.h"
#include "web/BridgeFrames.h"
#include "web/NavigationPolicy.h"
#include "web/gtk/WebController.h"

namespace vuko {

void WebController::installBridge() {
  auto& d = Defaults::standard();
  std::string script =
      Bridge::bootstrapScript(Bridge::storedPermission(d), Bridge::storedNativeReminders(d));
  for (auto& m : managers_) {
    webkit_user_content_manager_remove_all_scripts(m.get());
    // The shim comes first: the bootstrap script posts through it.
    for (auto [source, world] : {std::pair{Bridge::kRelay, Bridge::kWorldName},
                                 {Bridge::kPageShim, nullptr},
                                 {script.c_str(), nullptr}}) {
      auto frames = WEBKIT_USER_CONTENT_INJECT_TOP_FRAME;
      auto when = WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START;
      WebKitUserScript* s =
          world ? webkit_user_script_new_for_world(source, frames, when, world, nullptr, nullptr)
                : webkit_user_script_new(source, frames, when, nullptr, nullptr);
      webkit_user_content_manager_add_script(m.get(), s);
      webkit_user_script_unref(s);
    }
  }
}

void WebController::handleMessage(WebKitWebView* from, const nlohmann::json& body) {
  messages_.route(pageUrl(from), from == webView_ && page_.offline(), body);
}

PageMessages::Handlers WebController::messageHandlers() {
  PageMessages::Handlers h;
  h.notify = [this](const std::string& title, const std::string& text, const std::string& tag) {
    if (onNotify) onNotify(title, text, tag);
  };
  h.askPermission = [this] {
    if (onAskPermission) onAskPermission();
  };
  h.tasksChanged = [this] {
    if (onTasksChanged) onTasksChanged();
  };
  h.retry = [this] { page_.retry(); };
  h.chooseServer = [this] {
    if (onChooseServer) onChooseServer();
  };
  h.sendHotkeys = [this] { sendHotkeys(); };
  h.setHotkey = [this](const std::string& id, const std::optional<GlobalCombo>& combo) {
    if (hotkeys) hotkeys->set(id, combo);
  };
  h.pauseHotkeys = [this] {
    if (hotkeys) hotkeys->pause();
  };
  h.resumeHotkeys = [this] {
    if (hotkeys) hotkeys->resume();
  };
  return h;
}

void WebController::setNotifyPermission(const std::string& permission, bool answer) {
  Defaults::standard().setString(Bridge::kPermissionKey, permission);
  installBridge();
  evaluate(Bridge::permissionScript(permission, answer));
}

void WebController::setNativeReminders(bool on) {
  Defaults::standard().setBool(Bridge::kNativeRemindersKey, on);
  installBridge();
  evaluate(Bridge::nativeRemindersScript(on));
  hibernation_.remindersNative(on);
}

void WebController::sendHotkeys() {
  if (!hotkeys) return;
  auto list = Bridge::hotkeyList(
      hotkeys->all(), [this](const std::string& id) { return hotkeys->registered(id); },
      [this](const std::string& id) { return hotkeys->boundTrigger(id); });
  if (auto script = Bridge::hotkeysScript(list)) evaluate(*script);
}

Task<std::optional<std::string>> WebController::token() {
  auto alive = life_.guard();
  if (hibernated() || !webView_) co_return lastToken_;
  auto value = co_await evaluateJson(webView_, "localStorage.getItem('token')");
  if (value && value->is_string() && !value->get<std::string>().empty()) {
    auto token = value->get<std::string>();
    if (alive) {
      lastToken_ = token;
      if (onToken) onToken(token);
    }
    co_return token;
  }
  // A page may sign out without loading the sign-in page. Only an answer of
  // the server's own page counts: a failed read or a foreign page says nothing.
  if (value && alive && lastToken_ && !offline() && Navigation::isServerHost(pageUrl(webView_))) {
    lastToken_.reset();
    if (onLoggedOut) onLoggedOut();
  }
  co_return std::nullopt;
}

}  // namespace vuko
