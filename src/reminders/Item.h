// One upcoming reminder and the texts derived from it.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace vuko {

struct ReminderItem {
  using TimePoint = std::chrono::system_clock::time_point;

  std::string id;
  std::optional<long long> taskId;
  std::string kind = "task";
  std::string title;
  std::string body;
  TimePoint at{};

  // The key of the item's notification request and map entries.
  std::string nid() const { return "rem" + id; }
  // The body as shown: only the digest may show an empty second line.
  std::string shownBody() const;
  bool isDigest() const { return kind == "digest"; }

  // One element of the server's "items"; none when it is unusable.
  static std::optional<ReminderItem> from(const nlohmann::json& dict);
  // An internet date-time ("2025-03-01T09:00:00.123+03:00"); none otherwise.
  static std::optional<TimePoint> parseDate(const std::string& text);
  // The inverse, in UTC, for the stored maps.
  static std::string formatDate(TimePoint t);

  bool operator==(const ReminderItem&) const = default;
};

}  // namespace vuko
