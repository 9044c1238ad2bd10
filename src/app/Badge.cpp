#include "app/Badge.h"

#include "server/Settings.h"

namespace vuko {

Badge::Label Badge::labelFor(const nlohmann::json& counts) {
  if (!counts.is_object()) return std::nullopt;
  auto today = counts.find("today");
  // Only an integer is a count: 2.5, "3" or true clear the badge.
  if (today == counts.end() || !today->is_number_integer()) return std::nullopt;
  if (today->is_number_unsigned()) {
    auto n = today->get<std::uint64_t>();
    return n >= 1 ? Label(std::to_string(n)) : std::nullopt;
  }
  auto n = today->get<std::int64_t>();
  return n >= 1 ? Label(std::to_string(n)) : std::nullopt;
}

Badge::Badge(TaskApi& api, std::function<void(const Label&)> onLabel)
    : api_(api), onLabel_(std::move(onLabel)) {}

void Badge::update() {
  if (!Settings::dockBadge()) {
    set(std::nullopt);
    return;
  }
  refresh().detach();
}

Task<> Badge::refresh() {
  auto alive = life_.guard();
  auto token = co_await api_.token();
  if (!alive) co_return;
  if (!token) {
    set(std::nullopt);
    co_return;
  }
  Label label;
  try {
    label = labelFor(co_await api_.counts(*token, alive));
  } catch (...) {
    // Any failure clears the badge rather than leave a stale number.
    label = std::nullopt;
  }
  if (!alive) co_return;
  set(label);
}

void Badge::set(const Label& label) {
  label_ = label;
  if (onLabel_) onLabel_(label);
}

}  // namespace vuko
