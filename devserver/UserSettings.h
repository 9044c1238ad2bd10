// A user's preferences kept by the server. Member names in JSON match the
// controls of the web application's settings page.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "devserver/Calendar.h"

namespace vuko::dev {

struct UserSettings {
  std::string timezone = "Europe/Moscow";
  int remindBefore = 15;          // minutes before a task with a time
  int autoRemindTime = 9 * 3600;  // when to remind of tasks without a time
  bool dailyDigest = false;
  int dailyDigestTime = 8 * 3600;
  bool macNotify = true;  // the desktop client delivers reminders
  bool webNotify = true;  // the page shows reminders in a plain browser

  nlohmann::json toJson() const;
  // Reads stored settings leniently: unknown or bad members keep defaults.
  static UserSettings fromStored(const std::string& json);
  // Applies the members present in `patch`; 422 naming every bad member, in
  // which case nothing is changed.
  void apply(const nlohmann::json& patch);
  Zone zone() const;
};

}  // namespace vuko::dev
