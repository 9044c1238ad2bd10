#include "devserver/Reminders.h"

#include <algorithm>
#include <charconv>

namespace vuko::dev {

namespace {

constexpr std::int64_t kLookback = 3600;

std::string compact(const Date& d) {
  std::string iso = d.iso();
  iso.erase(std::remove(iso.begin(), iso.end(), '-'), iso.end());
  return iso;
}

std::optional<std::int64_t> number(std::string_view s) {
  std::int64_t v = 0;
  if (s.empty()) return std::nullopt;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size() || v < 0) return std::nullopt;
  return v;
}

}  // namespace

std::vector<Reminder> upcomingReminders(const std::vector<Task>& tasks,
                                        const UserSettings& settings, std::int64_t now, int hours,
                                        const std::set<std::string>& shown) {
  const Zone zone = settings.zone();
  const std::int64_t from = now - kLookback;
  const std::int64_t to = now + std::int64_t{hours} * 3600;
  std::vector<Reminder> out;
  auto add = [&](Reminder r) {
    if (r.at < from || r.at > to) return;
    r.shown = shown.count(r.id) > 0;
    out.push_back(std::move(r));
  };

  for (const Task& t : tasks) {
    auto day = t.day();
    if (!t.open() || !day) continue;
    Reminder r;
    r.taskId = t.id;
    r.title = t.title;
    if (t.dueTime) {
      std::int64_t due = zone.moment(*day, *t.dueTime);
      r.at = due - std::int64_t{settings.remindBefore} * 60;
      r.kind = "task";
      r.id = "t" + std::to_string(t.id) + "-" + std::to_string(due);
      r.body = capitalize(dayWords(*day, zone.dayOf(r.at))) + ", " + formatShortTime(*t.dueTime);
    } else {
      r.at = zone.moment(*day, settings.autoRemindTime);
      r.kind = "auto";
      r.id = "a" + std::to_string(t.id) + "-" + compact(*day);
      bool deadline = !t.startDate && t.dueDate;
      r.body = std::string(deadline ? "Срок — " : "Задача на ") + dayWords(*day, zone.dayOf(r.at));
    }
    add(std::move(r));
  }

  if (settings.dailyDigest) {
    for (Date d = zone.dayOf(from); d <= zone.dayOf(to); d = d.addDays(1)) {
      std::vector<std::string> titles;
      for (const Task& t : tasks)
        if (t.open() && t.day() && *t.day() <= d) titles.push_back(t.title);
      if (titles.empty()) continue;
      Reminder r;
      r.id = "d-" + compact(d);
      r.kind = "digest";
      r.at = zone.moment(d, settings.dailyDigestTime);
      r.title = "План на день";
      r.body = std::to_string(titles.size()) + " " +
               plural(static_cast<long>(titles.size()), "задача", "задачи", "задач") + ": ";
      for (size_t i = 0; i < titles.size() && i < 3; ++i) r.body += (i ? ", " : "") + titles[i];
      if (titles.size() > 3) r.body += "…";
      add(std::move(r));
    }
  }

  std::stable_sort(out.begin(), out.end(),
                   [](const Reminder& a, const Reminder& b) { return a.at < b.at; });
  return out;
}

nlohmann::json reminderJson(const Reminder& r, const Zone& zone) {
  return {{"id", r.id},
          {"remind_at", zone.iso(r.at)},
          {"kind", r.kind},
          {"title", r.title},
          {"body", r.body},
          {"task_id", r.taskId ? nlohmann::json(*r.taskId) : nlohmann::json(nullptr)},
          {"shown", r.shown}};
}

std::optional<std::int64_t> reminderTask(const std::string& id) {
  if (id.size() > 64) return std::nullopt;
  if (id.rfind("d-", 0) == 0) {
    auto date = id.substr(2);
    return date.size() == 8 && number(date) ? std::optional<std::int64_t>(0) : std::nullopt;
  }
  if (id.size() < 4 || (id[0] != 't' && id[0] != 'a')) return std::nullopt;
  size_t dash = id.find('-');
  if (dash == std::string::npos) return std::nullopt;
  auto task = number(std::string_view(id).substr(1, dash - 1));
  auto rest = number(std::string_view(id).substr(dash + 1));
  if (!task || !rest || *task == 0) return std::nullopt;
  return task;
}

}  // namespace vuko::dev
