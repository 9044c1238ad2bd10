// Reminders handed to the desktop's notification centre.
#include <random>

#include "reminders/Reminders.h"

namespace vuko {

namespace {

std::string freshId() {
  static std::mt19937_64 gen{std::random_device{}()};
  std::uniform_int_distribution<unsigned> hex(0, 15);
  std::string out;
  for (int i = 0; i < 32; ++i) {
    if (i == 8 || i == 12 || i == 16 || i == 20) out += '-';
    // Version 4, variant 10xx.
    unsigned v = i == 12 ? 4 : i == 16 ? (8 | (hex(gen) & 3)) : hex(gen);
    out += "0123456789ABCDEF"[v];
  }
  return out;
}

}  // namespace

NotificationContent Reminders::content(const Item& item) {
  NotificationContent c;
  c.title = item.title;
  c.body = item.shownBody();
  c.categoryId = item.isDigest() ? digestCategory : taskCategory;
  c.threadId = item.isDigest() ? "digest" : "reminders";
  c.sound = true;
  c.userInfo = {{"rid", item.id},
                {"task", item.taskId.value_or(0)},
                {"kind", item.kind},
                {"title", item.title},
                {"body", item.body}};
  return c;
}

void Reminders::schedule(const Item& item) {
  // The moment to the second, as a calendar's date components give it.
  auto at = std::chrono::floor<std::chrono::seconds>(item.at);
  active().add({item.nid(), content(item), NotificationTrigger::at(at)});
}

void Reminders::present(const Item& item) {
  switch (mode_) {
    case Mode::system:
      center_.add({item.nid(), content(item), {}});
      break;
    case Mode::own:
      showBanner(item);
      break;
    default:
      break;
  }
}

void Reminders::delivered(const NotificationRequest& request) {
  auto rid = request.content.userInfo.find("rid");
  if (rid == request.content.userInfo.end() || !rid->is_string()) return;
  if (request.id.rfind("rem", 0) != 0) return;
  auto shown = shownMap();
  // The poll, or the focused window's presentation, may have recorded it.
  if (shown.count(request.id)) return;
  shown[request.id] = wall_.now();
  saveShown(shown);
  reportFired(rid->get<std::string>()).detach();
  if (onDelivered) onDelivered();
}

void Reminders::notifyNow(const std::string& title, const std::string& body,
                          const std::string& tag) {
  std::string id = tag.empty() ? freshId() : tag;
  if (mode_ == Mode::own) {
    showBanner(Item{id, std::nullopt, "note", title, body, wall_.now()});
    return;
  }
  NotificationContent c;
  c.title = title;
  c.body = body;
  c.sound = true;
  center_.add({id, c, {}});
}

std::optional<Reminders::Item> Reminders::itemOf(const NotificationRequest& r) {
  const auto& info = r.content.userInfo;
  auto text = [&](const char* k, std::string fallback) {
    auto it = info.find(k);
    return it != info.end() && it->is_string() ? it->get<std::string>() : std::move(fallback);
  };
  Item item;
  if (info.is_object() && info.contains("rid")) {
    item.id = text("rid", "");
    item.kind = text("kind", "task");
    item.title = text("title", r.content.title);
    item.body = text("body", "");
    auto task = info.find("task");
    if (task != info.end() && task->is_number_integer() && task->get<long long>() >= 1)
      item.taskId = task->get<long long>();
  } else {
    // A page notification: no task, shown as it came.
    item.id = r.id;
    item.kind = "note";
    item.title = r.content.title;
    item.body = r.content.body;
  }
  return item;
}

}  // namespace vuko
