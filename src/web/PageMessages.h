// Where the messages pages post to the bridge go: whether the sending page
// may drive the client at all, and which of the client's handlers each
// message reaches. The window's controller feeds every message here.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "hotkeys/GlobalCombo.h"
#include "platform/Url.h"

namespace vuko {

class PageMessages {
 public:
  // An unset handler drops its messages.
  struct Handlers {
    std::function<void(const std::string& title, const std::string& body, const std::string& tag)>
        notify;
    std::function<void()> askPermission;
    std::function<void()> tasksChanged;
    // The offline page's "try again".
    std::function<void()> retry;
    std::function<void()> chooseServer;
    // Pushes the hot-key list into the main page.
    std::function<void()> sendHotkeys;
    // Binds the id to the combination, or clears it for none.
    std::function<void(const std::string& id, const std::optional<GlobalCombo>& combo)> setHotkey;
    std::function<void()> pauseHotkeys;
    std::function<void()> resumeHotkeys;
  };

  explicit PageMessages(Handlers handlers) : handlers_(std::move(handlers)) {}

  // Acts on one message from the page at pageUrl (offline: the main view
  // shows the offline page). False when it was dropped: the page is not one
  // of ours, or the message is not one the client acts on.
  bool route(const std::optional<Url>& pageUrl, bool offline, const nlohmann::json& body) const;

 private:
  Handlers handlers_;
};

}  // namespace vuko
