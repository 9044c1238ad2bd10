// Today's task count on the client's launcher icon: asked of the task server
// with the signed-in user's token, cleared whenever it cannot be had.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/Task.h"
#include "server/TaskApi.h"

namespace vuko {

class Badge {
 public:
  using Label = std::optional<std::string>;

  // The label for an answer of "/tasks/counts": the decimal count of today's
  // tasks when it is a positive integer, none otherwise.
  static Label labelFor(const nlohmann::json& counts);

  // api outlives the badge; a refresh still running when the badge goes is
  // cancelled.
  Badge(TaskApi& api, std::function<void(const Label&)> onLabel);
  Badge(const Badge&) = delete;
  Badge& operator=(const Badge&) = delete;

  // Clears the label at once when the setting is off; otherwise starts the
  // refresh and returns. Refreshes are not serialised: the last to finish
  // sets the label.
  void update();

  // The last label set (none before the first).
  const Label& label() const { return label_; }

 private:
  Task<> refresh();
  void set(const Label& label);

  TaskApi& api_;
  std::function<void(const Label&)> onLabel_;
  Label label_;
  Lifetime life_;
};

}  // namespace vuko
