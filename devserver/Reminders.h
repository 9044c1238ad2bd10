// Upcoming reminders, computed from the open tasks and the user's settings at
// every request; only the "shown" marks are stored. An id names one task and
// one due moment, so it stays the same across polls until the task's time
// changes, and a completed or deleted task simply has no reminders.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "devserver/Task.h"
#include "devserver/UserSettings.h"

namespace vuko::dev {

struct Reminder {
  std::string id;
  std::int64_t at = 0;  // unix seconds
  std::string kind;     // "task", "auto" or "digest"
  std::string title;
  std::string body;
  std::optional<std::int64_t> taskId;
  bool shown = false;
};

// Reminders due from an hour ago (so that a client can still present one it
// missed) to `hours` ahead, sorted by time.
std::vector<Reminder> upcomingReminders(const std::vector<Task>& tasks,
                                        const UserSettings& settings, std::int64_t now, int hours,
                                        const std::set<std::string>& shown);

nlohmann::json reminderJson(const Reminder& reminder, const Zone& zone);

// The task a reminder id belongs to (0 for digests); nothing for an id this
// server never makes.
std::optional<std::int64_t> reminderTask(const std::string& id);

}  // namespace vuko::dev
