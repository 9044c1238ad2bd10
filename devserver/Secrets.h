// Random tokens and salted password hashes.
#pragma once

#include <string>

namespace vuko::dev {

// 32 random bytes as 64 hex digits.
std::string randomToken();
// HMAC-SHA256 of the password keyed with the salt, in hex.
std::string passwordHash(const std::string& salt, const std::string& password);

}  // namespace vuko::dev
