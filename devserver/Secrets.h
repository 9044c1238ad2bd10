// Random tokens and slow, salted password hashes.
#pragma once

#include <string>

namespace vuko::dev {

// 32 bytes from the system's CSPRNG as 64 hex digits.
std::string randomToken();

// A self-describing Argon2id string ("$argon2id$v=19$m=…"), salt included.
// Throws std::runtime_error when the hash cannot be computed (out of memory).
std::string hashPassword(const std::string& password);

enum class PasswordCheck { Wrong, Right, RightButOutdated };

// Checks `password` against a stored hash. Accounts made before the slow hash
// carry an HMAC-SHA256 keyed with `legacySalt`; those still sign in, and the
// answer says the hash should be replaced.
PasswordCheck checkPassword(const std::string& stored, const std::string& legacySalt,
                            const std::string& password);

}  // namespace vuko::dev
