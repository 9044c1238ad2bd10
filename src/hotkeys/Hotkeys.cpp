#include "hotkeys/Hotkeys.h"

#include <algorithm>

#include "platform/ActivationToken.h"
#include "platform/Clock.h"

namespace vuko {

namespace {

std::string comboKey(const std::string& id) {
  return "hotkey." + id;
}
std::string offKey(const std::string& id) {
  return "hotkey." + id + ".off";
}

// Runs the action of id on a later turn of the loop, never inside the
// service's event dispatch; a window it presents takes the token.
void later(const std::weak_ptr<const Hotkeys::Actions>& actions, std::string id,
           std::uint32_t eventTime, std::string token = {}) {
  Clock::main().defer([actions, id = std::move(id), eventTime, token = std::move(token)] {
    auto live = actions.lock();
    if (!live) return;
    auto it = live->find(id);
    if (it == live->end() || !it->second) return;
    ActivationToken::set(token);
    it->second(eventTime);
    ActivationToken::set({});
  });
}

}  // namespace

const std::map<std::string, std::uint32_t>& Hotkeys::ids() {
  static const std::map<std::string, std::uint32_t> table = [] {
    std::map<std::string, std::uint32_t> out;
    for (const auto& row : kHotkeyActions) out[row.id] = row.number;
    return out;
  }();
  return table;
}

const std::map<std::string, GlobalCombo>& Hotkeys::defaults() {
  static const std::map<std::string, GlobalCombo> table = {
      {hotkeyId(HotkeyAction::quick), GlobalCombo("Space", true, true)},
      {hotkeyId(HotkeyAction::focus), GlobalCombo("KeyP", true, true)},
  };
  return table;
}

Hotkeys::Hotkeys(Actions actions, std::shared_ptr<HotkeyService> service, Defaults& store,
                 std::shared_ptr<ShortcutPortal> portal)
    : portal_(std::move(portal)),
      actions_(std::make_shared<const Actions>(std::move(actions))),
      service_(service ? std::move(service) : HotkeyService::shared()),
      store_(store) {
  // The handler holds the actions weakly: a press still on its way when this
  // registry goes reaches nothing, and a newer registry's handler replaces
  // this one.
  service_->setHandler([actions = std::weak_ptr<const Actions>(actions_)](std::uint32_t number,
                                                                          std::uint32_t eventTime) {
    const HotkeyActionRow* row = nullptr;
    for (const auto& r : kHotkeyActions)
      if (r.number == number) row = &r;
    if (row) later(actions, row->id, eventTime);
  });
  registerAll();
}

Hotkeys::~Hotkeys() {
  unregisterAll();
  if (portal_) {
    portal_->onBound = nullptr;
    portal_->onActivated = nullptr;
  }
}

std::optional<GlobalCombo> Hotkeys::combo(const std::string& id) const {
  if (store_.boolean(offKey(id)).value_or(false)) return std::nullopt;
  if (auto bytes = store_.data(comboKey(id))) {
    auto json = nlohmann::json::parse(bytes->begin(), bytes->end(), nullptr, false);
    if (auto stored = GlobalCombo::fromJson(json)) return stored;
  }
  if (auto it = defaults().find(id); it != defaults().end()) return it->second;
  return std::nullopt;
}

void Hotkeys::set(const std::string& id, const std::optional<GlobalCombo>& combo) {
  if (combo) {
    try {
      // Strict dumping throws on a code that is not valid UTF-8.
      std::string text = combo->toJson().dump();
      store_.setData(comboKey(id), Defaults::Bytes(text.begin(), text.end()));
    } catch (const nlohmann::json::exception&) {
      store_.remove(comboKey(id));
    }
    store_.setBool(offKey(id), false);
  } else {
    store_.remove(comboKey(id));
    store_.setBool(offKey(id), true);
  }
  registerAll();
  if (onChange) onChange();
}

std::map<std::string, std::optional<GlobalCombo>> Hotkeys::all() const {
  std::map<std::string, std::optional<GlobalCombo>> out;
  for (const auto& [id, number] : ids()) out[id] = combo(id);
  return out;
}

bool Hotkeys::registered(const std::string& id) const {
  if (portalState_ == Portal::open) return boundTrigger(id).has_value();
  return registered_.contains(id);
}

std::optional<std::string> Hotkeys::boundTrigger(const std::string& id) const {
  if (portalState_ != Portal::open) return std::nullopt;
  auto it = bound_.find(id);
  if (it == bound_.end() || it->second.empty()) return std::nullopt;
  return it->second;
}

bool Hotkeys::commandsOnly() const {
  if (portalState_ == Portal::open || !registered_.empty() || !tried_) return false;
  return !portal_ || portalState_ == Portal::absent;
}

std::vector<ShortcutPortal::Shortcut> Hotkeys::portalShortcuts() const {
  std::vector<ShortcutPortal::Shortcut> out;
  for (const auto& row : kHotkeyActions) {
    if (store_.boolean(offKey(row.id)).value_or(false)) continue;
    auto chosen = combo(row.id);
    std::string trigger;
    if (chosen && !chosen->takesTyping()) trigger = chosen->shortcutTrigger();
    out.push_back({row.id, row.title, trigger});
  }
  return out;
}

void Hotkeys::pause() {
  // The desktop keeps the portal's shortcuts; their presses are dropped instead.
  paused_ = true;
  unregisterAll();
}

void Hotkeys::resume() {
  paused_ = false;
  registerAll();
}

void Hotkeys::registerAll() {
  unregisterAll();
  if (portalState_ == Portal::open) {
    bindPortal();
    return;
  }
  registered_.clear();
  tried_ = false;
  for (const auto& [id, number] : ids()) {
    auto chosen = combo(id);
    if (!chosen || chosen->takesTyping()) continue;
    auto key = chosen->carbonKey();
    if (!key) continue;
    tried_ = true;
    // A refusal is not reported: the combination stays stored, just inactive.
    auto reg = service_->registerHotKey(*key, chosen->carbonMods(), signature, number);
    if (reg.status != HotkeyService::noErr || reg.ref == 0) continue;
    refs_[id] = reg.ref;
    registered_.insert(id);
  }
  // No grab at all: a Wayland session, or every key taken.
  if (tried_ && registered_.empty() && !paused_) openPortal();
}

void Hotkeys::openPortal() {
  if (!portal_ || portalState_ != Portal::unused) return;
  portalState_ = Portal::opening;
  std::weak_ptr<bool> alive = alive_;
  portal_->onBound = [this, alive](const std::vector<ShortcutPortal::Bound>& bound) {
    if (alive.lock()) portalBound(bound);
  };
  portal_->onActivated = [this, alive](const std::string& id, const std::string& token) {
    if (alive.lock() && !paused_) later(actions_, id, 0, token);
  };
  portal_->open(appId, [this, alive](bool open) {
    if (!alive.lock()) return;
    portalState_ = open ? Portal::open : Portal::absent;
    if (open) bindPortal();
    if (onChange) onChange();
  });
}

void Hotkeys::bindPortal() {
  auto shortcuts = portalShortcuts();
  // Resuming after the page recorded a key asks again only if something changed:
  // the desktop may ask the user each time.
  auto same = [](const ShortcutPortal::Shortcut& a, const ShortcutPortal::Shortcut& b) {
    return a.id == b.id && a.description == b.description &&
           a.preferredTrigger == b.preferredTrigger;
  };
  if (std::equal(shortcuts.begin(), shortcuts.end(), lastBind_.begin(), lastBind_.end(), same))
    return;
  lastBind_ = shortcuts;
  portal_->bind(shortcuts);
}

void Hotkeys::portalBound(const std::vector<ShortcutPortal::Bound>& bound) {
  bound_.clear();
  for (const auto& b : bound)
    if (findHotkeyAction(b.id)) bound_[b.id] = b.triggerDescription;
  if (onChange) onChange();
}

void Hotkeys::unregisterAll() {
  for (const auto& [id, ref] : refs_) service_->unregisterHotKey(ref);
  refs_.clear();
}

}  // namespace vuko
