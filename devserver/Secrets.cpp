#include "devserver/Secrets.h"

#include <glib.h>
#include <sodium.h>

#include <stdexcept>

namespace vuko::dev {

namespace {

void ensureSodium() {
  static const bool ready = sodium_init() >= 0;
  if (!ready) throw std::runtime_error("libsodium could not start");
}

std::string legacyHash(const std::string& salt, const std::string& password) {
  gchar* h = g_compute_hmac_for_data(
      G_CHECKSUM_SHA256, reinterpret_cast<const guchar*>(salt.data()), salt.size(),
      reinterpret_cast<const guchar*>(password.data()), password.size());
  std::string out = h;
  g_free(h);
  return out;
}

}  // namespace

std::string randomToken() {
  ensureSodium();
  unsigned char bytes[32];
  randombytes_buf(bytes, sizeof bytes);
  char hex[sizeof bytes * 2 + 1];
  sodium_bin2hex(hex, sizeof hex, bytes, sizeof bytes);
  return hex;
}

std::string hashPassword(const std::string& password) {
  ensureSodium();
  char out[crypto_pwhash_STRBYTES];
  if (crypto_pwhash_str(out, password.data(), password.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                        crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
    throw std::runtime_error("password hash failed (out of memory)");
  return out;
}

PasswordCheck checkPassword(const std::string& stored, const std::string& legacySalt,
                            const std::string& password) {
  ensureSodium();
  if (stored.rfind("$argon2", 0) == 0) {
    return crypto_pwhash_str_verify(stored.c_str(), password.data(), password.size()) == 0
               ? PasswordCheck::Right
               : PasswordCheck::Wrong;
  }
  std::string legacy = legacyHash(legacySalt, password);
  if (legacy.size() != stored.size() ||
      sodium_memcmp(legacy.data(), stored.data(), legacy.size()) != 0)
    return PasswordCheck::Wrong;
  return PasswordCheck::RightButOutdated;
}

}  // namespace vuko::dev
