// Global shortcuts through the desktop portal
// (org.freedesktop.portal.GlobalShortcuts): one session, the shortcuts bound
// on it, the triggers the desktop chose, and the activations. The caller
// supplies ids, descriptions and preferred triggers; every answer arrives on
// the main loop.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vuko {

class ShortcutPortal {
 public:
  struct Shortcut {
    std::string id;
    std::string description;
    // In the shortcuts format ("CTRL+ALT+space"); empty leaves it to the desktop.
    std::string preferredTrigger;
  };
  // A shortcut as the desktop bound it; the trigger description is empty
  // when it bound no keys to it.
  struct Bound {
    std::string id;
    std::string triggerDescription;
  };
  using Ready = std::function<void(bool sessionOpen)>;

  virtual ~ShortcutPortal() = default;

  // Asks whether the portal offers the interface, registers appId where the
  // portal wants host applications registered, and opens the session; ready
  // runs once with the outcome.
  virtual void open(const std::string& appId, Ready ready) = 0;
  // Binds the shortcuts on the open session, replacing the earlier set.
  virtual void bind(const std::vector<Shortcut>& shortcuts) = 0;

  // The desktop's bound set, after a bind and whenever it changes.
  std::function<void(const std::vector<Bound>&)> onBound;
  // A shortcut pressed, with the activation token that came with it (may be empty).
  std::function<void(const std::string& id, const std::string& activationToken)> onActivated;

  // The portal on the session bus; nothing is asked before open().
  static std::shared_ptr<ShortcutPortal> sessionBus();
};

}  // namespace vuko
