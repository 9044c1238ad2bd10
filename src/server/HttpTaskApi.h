// The task API over HTTP: the only code that sends the client's calls to the
// task server. Every call goes to the server in use at the time it is made.
#pragma once

#include "platform/Http.h"
#include "server/TaskApi.h"

namespace vuko {

class HttpTaskApi final : public TaskApi {
 public:
  // The probe on its own, for those that check a server without an API
  // object at hand (the offline page).
  static Task<std::optional<std::string>> checkServer(Url server, Lifetime::Guard owner = {});

  Task<std::optional<std::string>> probe(Url server, Lifetime::Guard owner = {}) override;
  Task<nlohmann::json> parse(std::string token, std::string text,
                             Lifetime::Guard owner = {}) override;
  Task<nlohmann::json> create(std::string token, std::string title,
                              Lifetime::Guard owner = {}) override;
  Task<nlohmann::json> counts(std::string token, Lifetime::Guard owner = {}) override;
  Task<nlohmann::json> request(std::string token, std::string method, std::string path,
                               std::optional<nlohmann::json> body = std::nullopt,
                               Lifetime::Guard owner = {}) override;
  Task<Upcoming> upcoming(std::string token, Lifetime::Guard owner = {}) override;
  Task<int> fired(std::string token, std::string reminderId, Lifetime::Guard owner = {}) override;
  Task<int> complete(std::string token, long long taskId, Lifetime::Guard owner = {}) override;
};

}  // namespace vuko
