#include "devserver/UserSettings.h"

#include "devserver/Http.h"

namespace vuko::dev {

nlohmann::json UserSettings::toJson() const {
  return {{"timezone", timezone},
          {"remindBefore", remindBefore},
          {"autoRemindTime", formatShortTime(autoRemindTime)},
          {"dailyDigest", dailyDigest},
          {"dailyDigestTime", formatShortTime(dailyDigestTime)},
          {"macNotify", macNotify},
          {"webNotify", webNotify}};
}

UserSettings UserSettings::fromStored(const std::string& json) {
  UserSettings s;
  auto value = nlohmann::json::parse(json, nullptr, false);
  if (!value.is_object()) return s;
  try {
    s.apply(value);
  } catch (const HttpError&) {
    UserSettings clean;
    return clean;
  }
  return s;
}

void UserSettings::apply(const nlohmann::json& patch) {
  UserSettings next = *this;
  FieldErrors errors;
  if (patch.contains("timezone")) {
    const auto& v = patch["timezone"];
    if (!v.is_string() || !Zone::named(v.get<std::string>()))
      errors.add("timezone", "нужен часовой пояс вида «Europe/Moscow»");
    else
      next.timezone = v.get<std::string>();
  }
  if (patch.contains("remindBefore")) {
    const auto& v = patch["remindBefore"];
    if (!v.is_number_integer() || v.get<long long>() < 0 || v.get<long long>() > 1440)
      errors.add("remindBefore", "нужно целое число минут от 0 до 1440");
    else
      next.remindBefore = v.get<int>();
  }
  auto timeMember = [&](const char* name, int& out) {
    if (!patch.contains(name)) return;
    const auto& v = patch[name];
    auto t = v.is_string() ? parseTimeOfDay(v.get<std::string>()) : std::nullopt;
    if (!t)
      errors.add(name, "нужно время вида «09:00»");
    else
      out = *t / 60 * 60;
  };
  timeMember("autoRemindTime", next.autoRemindTime);
  timeMember("dailyDigestTime", next.dailyDigestTime);
  auto flag = [&](const char* name, bool& out) {
    if (!patch.contains(name)) return;
    if (!patch[name].is_boolean())
      errors.add(name, "нужно true или false");
    else
      out = patch[name].get<bool>();
  };
  flag("dailyDigest", next.dailyDigest);
  flag("macNotify", next.macNotify);
  flag("webNotify", next.webNotify);
  errors.check();
  *this = next;
}

Zone UserSettings::zone() const {
  auto z = Zone::named(timezone);
  return z ? *z : Zone::utc();
}

}  // namespace vuko::dev
