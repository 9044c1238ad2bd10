// The records the server keeps: accounts and tasks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "devserver/Calendar.h"

namespace vuko::dev {

struct User {
  std::int64_t id = 0;
  std::string email;
  std::string name;
  std::string salt;  // only for hashes made before Argon2id
  std::string passwordHash;
};

struct Task {
  std::int64_t id = 0;
  std::int64_t userId = 0;
  std::string title;
  std::string description;
  std::optional<Date> startDate;  // when to work on it
  std::optional<Date> dueDate;    // the deadline
  std::optional<int> dueTime;     // seconds since midnight, on the task's day
  int priority = 0;               // 0 none, 1 low, 2 medium, 3 high
  std::vector<std::string> tags;
  std::optional<std::string> repeat;
  std::optional<std::int64_t> completedAt;  // unix seconds
  std::int64_t createdAt = 0;
  std::int64_t updatedAt = 0;
  std::string attachment;  // name of a served file ("report.pdf"), empty when none
  bool seeded = false;     // made by the demo seeding, replaced when it runs again

  // The day the task belongs to in lists and reminders: its start, else its deadline.
  std::optional<Date> day() const { return startDate ? startDate : dueDate; }
  bool open() const { return !completedAt.has_value(); }
};

}  // namespace vuko::dev
