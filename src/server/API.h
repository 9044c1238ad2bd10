// The task server's JSON API, called with the signed-in user's token.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/Task.h"

namespace vuko::API {

// A failure the user can read: the server's own message, or "sign in first".
class Failure : public std::runtime_error {
 public:
  enum class Kind { server, notLoggedIn };

  static Failure server(const std::string& message) { return Failure(Kind::server, message); }
  static Failure notLoggedIn() {
    return Failure(Kind::notLoggedIn, "Сначала войдите в «Vuko» в главном окне");
  }

  Kind kind() const { return kind_; }
  std::string description() const { return what(); }

 private:
  Failure(Kind kind, const std::string& text) : std::runtime_error(text), kind_(kind) {}
  Kind kind_;
};

// Calls "/api" + path on the server in use. Returns the decoded object or
// array (an empty object for a body that is not JSON). Throws Failure, the
// transport's TransportError, the JSON encoder's error for a body that cannot
// be encoded, or std::invalid_argument for a body that is not an object (then
// nothing is sent).
Task<nlohmann::json> request(std::string path, std::string token, std::string method = "GET",
                             std::optional<nlohmann::json> body = std::nullopt);

}  // namespace vuko::API
