#include "platform/PendingNotifications.h"

#include "platform/Defaults.h"
#include "platform/WallClock.h"

namespace vuko {

namespace {

constexpr const char* storeKey = "requests";

using TimePoint = std::chrono::system_clock::time_point;

long long millis(TimePoint t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
}

nlohmann::json toJson(const NotificationRequest& r) {
  const auto& c = r.content;
  return {{"id", r.id},
          {"title", c.title},
          {"body", c.body},
          {"category", c.categoryId},
          {"thread", c.threadId},
          {"sound", c.sound},
          {"userInfo", c.userInfo},
          {"due", millis(r.trigger.date)}};
}

std::optional<NotificationRequest> fromJson(const nlohmann::json& j) {
  if (!j.is_object()) return std::nullopt;
  auto str = [&](const char* k) -> std::optional<std::string> {
    auto it = j.find(k);
    if (it == j.end() || !it->is_string()) return std::nullopt;
    return it->get<std::string>();
  };
  auto id = str("id");
  auto due = j.find("due");
  if (!id || due == j.end() || !due->is_number_integer()) return std::nullopt;
  NotificationRequest r;
  r.id = *id;
  r.content.title = str("title").value_or("");
  r.content.body = str("body").value_or("");
  r.content.categoryId = str("category").value_or("");
  r.content.threadId = str("thread").value_or("");
  auto sound = j.find("sound");
  r.content.sound = sound == j.end() || !sound->is_boolean() || sound->get<bool>();
  auto info = j.find("userInfo");
  if (info != j.end() && info->is_object()) r.content.userInfo = *info;
  r.trigger = NotificationTrigger::at(TimePoint(std::chrono::milliseconds(due->get<long long>())));
  return r;
}

}  // namespace

struct PendingNotifications::Entry {
  NotificationRequest request;
  Timer timer;
};

PendingNotifications::PendingNotifications(WallClock& wall,
                                           std::optional<std::filesystem::path> file)
    : wall_(wall), file_(std::move(file)) {}

PendingNotifications::~PendingNotifications() = default;

void PendingNotifications::load() {
  if (store_) return;
  if (file_)
    store_ = std::make_unique<FileDefaults>(*file_);
  else
    store_ = std::make_unique<MemoryDefaults>();
  auto list = store_->array(storeKey);
  if (!list) return;
  for (const auto& j : *list)
    if (auto r = fromJson(j)) arm(std::move(*r));
}

void PendingNotifications::save() {
  nlohmann::json list = nlohmann::json::array();
  for (const auto& [id, e] : pending_) list.push_back(toJson(e->request));
  store_->setArray(storeKey, list);
}

void PendingNotifications::arm(NotificationRequest request) {
  auto id = request.id;
  auto when = request.trigger.date;
  auto entry = std::make_unique<Entry>(Entry{std::move(request), Timer()});
  // The timer goes with its entry, so this outlives every call it makes.
  entry->timer = wall_.at(when, [this, id] { fire(id); });
  pending_[id] = std::move(entry);
}

void PendingNotifications::fire(const std::string& id) {
  auto it = pending_.find(id);
  if (it == pending_.end()) return;
  auto request = std::move(it->second->request);
  it->second->timer.release();
  pending_.erase(it);
  // Taken off the list before it is shown: a crash now loses nothing the
  // next poll would not bring back, and a restart never shows it twice.
  save();
  if (onDue) onDue(std::move(request));
}

void PendingNotifications::add(NotificationRequest request) {
  load();
  auto& t = request.trigger;
  if (t.kind == NotificationTrigger::Kind::interval)
    t = NotificationTrigger::at(wall_.now() + t.interval);
  arm(std::move(request));
  save();
}

bool PendingNotifications::remove(const std::vector<std::string>& ids) {
  load();
  bool changed = false;
  for (const auto& id : ids) changed = pending_.erase(id) > 0 || changed;
  if (changed) save();
  return changed;
}

std::vector<NotificationRequest> PendingNotifications::list() {
  load();
  std::vector<NotificationRequest> out;
  for (const auto& [id, e] : pending_) out.push_back(e->request);
  return out;
}

std::optional<std::filesystem::path> PendingNotifications::setAside() {
  load();
  auto* file = dynamic_cast<FileDefaults*>(store_.get());
  return file ? file->setAside() : std::nullopt;
}

}  // namespace vuko
