// Upcoming reminders and their "shown" marks.
#include <charconv>

#include "devserver/Api.h"
#include "devserver/Reminders.h"

namespace vuko::dev {

Response Api::upcoming(Call& call) {
  int hours = 24;
  if (auto it = call.request.query.find("hours"); it != call.request.query.end()) {
    const std::string& v = it->second;
    auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), hours);
    if (ec != std::errc() || end != v.data() + v.size() || hours < 1 || hours > 24 * 14)
      throw HttpError(422, "Параметр hours: целое число от 1 до 336");
  }
  UserSettings settings = settingsOf(call.userId);
  Zone zone = settings.zone();
  std::int64_t now = clock_();
  auto reminders = upcomingReminders(store_.tasks(call.userId), settings, now, hours,
                                     store_.shownReminders(call.userId));
  nlohmann::json items = nlohmann::json::array();
  for (const Reminder& r : reminders) items.push_back(reminderJson(r, zone));
  return Response::json(
      200, {{"items", std::move(items)}, {"now", zone.iso(now)}, {"timezone", zone.name()}});
}

Response Api::fired(Call& call) {
  const std::string& id = call.params.at(0);
  auto task = reminderTask(id);
  if (!task || (*task != 0 && !store_.task(call.userId, *task)))
    throw HttpError(404, "Напоминание не найдено");
  store_.markShown(call.userId, id, *task, clock_());
  return Response::json(200, {{"ok", true}, {"id", id}});
}

}  // namespace vuko::dev
