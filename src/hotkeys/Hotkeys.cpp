#include "hotkeys/Hotkeys.h"

#include "platform/Clock.h"

namespace vuko {

namespace {

std::string comboKey(const std::string& id) {
  return "hotkey." + id;
}
std::string offKey(const std::string& id) {
  return "hotkey." + id + ".off";
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

Hotkeys::Hotkeys(Actions actions, std::shared_ptr<HotkeyService> service, Defaults& store)
    : actions_(std::make_shared<const Actions>(std::move(actions))),
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
    if (!row) return;
    // The action runs on a later turn of the loop, never inside the
    // service's event dispatch.
    Clock::main().defer([actions, id = std::string(row->id), eventTime] {
      auto live = actions.lock();
      if (!live) return;
      auto it = live->find(id);
      if (it != live->end() && it->second) it->second(eventTime);
    });
  });
  registerAll();
}

Hotkeys::~Hotkeys() {
  unregisterAll();
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
  return registered_.contains(id);
}

void Hotkeys::pause() {
  unregisterAll();
}

void Hotkeys::resume() {
  registerAll();
}

void Hotkeys::registerAll() {
  unregisterAll();
  registered_.clear();
  for (const auto& [id, number] : ids()) {
    auto chosen = combo(id);
    if (!chosen || chosen->takesTyping()) continue;
    auto key = chosen->carbonKey();
    if (!key) continue;
    // A refusal is not reported: the combination stays stored, just inactive.
    auto reg = service_->registerHotKey(*key, chosen->carbonMods(), signature, number);
    if (reg.status != HotkeyService::noErr || reg.ref == 0) continue;
    refs_[id] = reg.ref;
    registered_.insert(id);
  }
}

void Hotkeys::unregisterAll() {
  for (const auto& [id, ref] : refs_) service_->unregisterHotKey(ref);
  refs_.clear();
}

}  // namespace vuko
