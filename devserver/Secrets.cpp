#include "devserver/Secrets.h"

#include <glib.h>

#include <random>

namespace vuko::dev {

std::string randomToken() {
  std::random_device device;  // the system's entropy source
  std::string out;
  static const char kHex[] = "0123456789abcdef";
  for (int i = 0; i < 8; ++i) {
    unsigned int v = device();
    for (int b = 0; b < 8; ++b) out += kHex[(v >> (b * 4)) & 0xF];
  }
  return out;
}

std::string passwordHash(const std::string& salt, const std::string& password) {
  gchar* h = g_compute_hmac_for_data(
      G_CHECKSUM_SHA256, reinterpret_cast<const guchar*>(salt.data()), salt.size(),
      reinterpret_cast<const guchar*>(password.data()), password.size());
  std::string out = h;
  g_free(h);
  return out;
}

}  // namespace vuko::dev
