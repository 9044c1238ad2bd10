#include "server/SessionCopy.h"

namespace vuko {

SessionCopy::SessionCopy(SealedFile file, std::function<bool()> startsAtLogin)
    : file_(std::move(file)), startsAtLogin_(std::move(startsAtLogin)) {}

std::optional<std::string> SessionCopy::atStart(const std::string& server) {
  if (!startsAtLogin_()) {
    forget();
    return std::nullopt;
  }
  token_ = file_.open(server);
  server_ = server;
  return token_;
}

void SessionCopy::pageToken(const std::string& token, const std::string& server) {
  // Read at every use of the token: the login entry may come or go meanwhile.
  if (!startsAtLogin_()) {
    if (token_) forget();
    return;
  }
  if (token_ == token && server_ == server) return;
  if (!file_.seal(token, server)) return;
  token_ = token;
  server_ = server;
}

void SessionCopy::forget() {
  token_.reset();
  server_.clear();
  file_.remove();
}

}  // namespace vuko
