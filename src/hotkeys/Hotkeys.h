// The application's system-wide hot keys: three named actions, each with an
// optional combination the user may change, kept in the defaults store and
// registered with the platform's hot-key service so that they fire whichever
// application is in front. Where that service can grab none of them (a
// Wayland session), the desktop's shortcut portal binds them instead, and
// the desktop decides which keys they get.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "hotkeys/GlobalCombo.h"
#include "hotkeys/HotkeyActions.h"
#include "platform/Defaults.h"
#include "platform/HotkeyService.h"
#include "platform/ShortcutPortal.h"

namespace vuko {

class Hotkeys {
 public:
  // Runs with the window system's time stamp of the press (0 when unknown),
  // which a window presented in answer needs to take the focus.
  using Action = std::function<void(std::uint32_t eventTime)>;
  using Actions = std::map<std::string, Action>;

  // The four-character code "VUKO", the signature half of every identifier.
  static constexpr std::uint32_t signature = 0x56554B4F;

  // Hot-key id → the number the service reports on a press (from the
  // table of hot-key actions).
  static const std::map<std::string, std::uint32_t>& ids();
  // Hot-key id → its combination until the user chooses another.
  static const std::map<std::string, GlobalCombo>& defaults();

  // The application id the portal knows the client by.
  static constexpr const char* appId = "app.vuko.Vuko";

  // Takes the service's presses and registers the combinations in force;
  // with a portal, falls back to it when no key can be grabbed.
  explicit Hotkeys(Actions actions,
                   std::shared_ptr<HotkeyService> service = HotkeyService::shared(),
                   Defaults& store = Defaults::standard(),
                   std::shared_ptr<ShortcutPortal> portal = nullptr);
  // Unregisters its keys; presses still on their way reach no action.
  ~Hotkeys();
  Hotkeys(const Hotkeys&) = delete;
  Hotkeys& operator=(const Hotkeys&) = delete;

  // The combination in force: none when turned off, else the stored one,
  // else the default.
  std::optional<GlobalCombo> combo(const std::string& id) const;
  // Stores the combination (none turns the hot key off), registers again and
  // calls onChange.
  void set(const std::string& id, const std::optional<GlobalCombo>& combo);
  // Every id, with no value for one that is off or unbound.
  std::map<std::string, std::optional<GlobalCombo>> all() const;
  // Whether the system took the combination of id when the keys were last
  // registered; a pause does not change it. False for an id that is off, a
  // combination that takes typing, and one the system refused. Through the
  // portal: whether the desktop bound keys to it.
  bool registered(const std::string& id) const;
  // The keys the desktop bound to id, in its own words; none unless the
  // portal bound them.
  std::optional<std::string> boundTrigger(const std::string& id) const;
  // True once it is known that neither a grab nor the portal serves the
  // keys: only a desktop shortcut running the command line can.
  bool commandsOnly() const;
  // What the portal is asked to bind: every action not turned off, with its
  // page title and the combination in force as the preferred trigger.
  std::vector<ShortcutPortal::Shortcut> portalShortcuts() const;
  void pause();
  // Registers the stored combinations again.
  void resume();

  std::function<void()> onChange;

 private:
  enum class Portal { unused, opening, open, absent };

  void registerAll();
  void unregisterAll();
  void openPortal();
  void bindPortal();
  void portalBound(const std::vector<ShortcutPortal::Bound>& bound);

  std::map<std::string, HotkeyService::Ref> refs_;
  std::set<std::string> registered_;
  std::shared_ptr<ShortcutPortal> portal_;
  Portal portalState_ = Portal::unused;
  std::map<std::string, std::string> bound_;
  std::vector<ShortcutPortal::Shortcut> lastBind_;
  bool tried_ = false;
  bool paused_ = false;
  // Lets callbacks from the portal find out that this registry is gone.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  std::shared_ptr<const Actions> actions_;
  std::shared_ptr<HotkeyService> service_;
  Defaults& store_;
};

}  // namespace vuko
