// The signed-in user's token kept between runs for a client that starts at
// login: until its page is first shown, reminders, the badge and the quick
// panel have no other source of it. Kept only while the client starts at
// login, sealed to the server it was read from.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/SealedFile.h"

namespace vuko {

class SessionCopy {
 public:
  SessionCopy(SealedFile file, std::function<bool()> startsAtLogin);

  // At start, for the server in use: the kept token, none when there is none
  // for this server. A client that no longer starts at login keeps none.
  std::optional<std::string> atStart(const std::string& server);
  // The page gave this token on the server in use: a new one is kept, and
  // none once the client no longer starts at login.
  void pageToken(const std::string& token, const std::string& server);
  // Signed out, another server, or the token refused: the copy goes.
  void forget();

 private:
  SealedFile file_;
  std::function<bool()> startsAtLogin_;
  // What the file holds, as last written or read.
  std::optional<std::string> token_;
  std::string server_;
};

}  // namespace vuko
