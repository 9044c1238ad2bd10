#include "platform/ActivationToken.h"

#include <utility>

namespace vuko::ActivationToken {

namespace {

std::string& pending() {
  static std::string token;
  return token;
}

}  // namespace

void set(std::string token) {
  pending() = std::move(token);
}

std::string take() {
  return std::exchange(pending(), std::string());
}

}  // namespace vuko::ActivationToken
