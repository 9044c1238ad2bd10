#include "platform/SealedFile.h"
#include "platform/FileText.h"

#include <glib.h>
#include <glib/gstdio.h>
#include <sodium.h>

#include <vector>

namespace vuko {

namespace {

bool ready() {
  static const bool ok = sodium_init() >= 0;
  return ok;
}

std::optional<std::string> readAll(const std::string& path) {
  char* contents = nullptr;
  gsize length = 0;
  if (!g_file_get_contents(path.c_str(), &contents, &length, nullptr)) return std::nullopt;
  std::string bytes(contents, length);
  sodium_memzero(contents, length);
  g_free(contents);
  return bytes;
}

// Mode 0600 from the start: the file is never readable by others.
bool writeAll(const std::string& path, const unsigned char* data, std::size_t size) {
  if (auto reason = replaceFile(path, {reinterpret_cast<const char*>(data), size}, 0600)) {
    g_warning("cannot write %s: %s", path.c_str(), reason->c_str());
    return false;
  }
  return true;
}

std::string under(const char* base, const char* name) {
  char* path = g_build_filename(base, "vuko", name, nullptr);
  std::string out = path;
  g_free(path);
  return out;
}

}  // namespace

SealedFile::SealedFile(std::string path, std::string keyPath)
    : path_(std::move(path)), keyPath_(std::move(keyPath)) {}

SealedFile SealedFile::session() {
  return {under(g_get_user_state_dir(), "session"), under(g_get_user_data_dir(), "session.key")};
}

std::optional<std::string> SealedFile::key(bool make) const {
  auto stored = readAll(keyPath_);
  if (stored && stored->size() == crypto_aead_xchacha20poly1305_ietf_KEYBYTES) return stored;
  if (!make) return std::nullopt;
  std::string fresh(crypto_aead_xchacha20poly1305_ietf_KEYBYTES, '\0');
  randombytes_buf(fresh.data(), fresh.size());
  if (!writeAll(keyPath_, reinterpret_cast<const unsigned char*>(fresh.data()), fresh.size()))
    return std::nullopt;
  return fresh;
}

std::optional<std::string> SealedFile::open(std::string_view additional) const {
  auto sealed = readAll(path_);
  if (!sealed) return std::nullopt;
  constexpr std::size_t nonceSize = crypto_aead_xchacha20poly1305_ietf_NPUBBYTES;
  constexpr std::size_t tagSize = crypto_aead_xchacha20poly1305_ietf_ABYTES;
  auto k = ready() ? key(false) : std::nullopt;
  if (!k || sealed->size() < nonceSize + tagSize) {
    remove();
    return std::nullopt;
  }
  const auto* bytes = reinterpret_cast<const unsigned char*>(sealed->data());
  std::vector<unsigned char> plain(sealed->size() - nonceSize - tagSize);
  unsigned long long plainSize = 0;
  if (crypto_aead_xchacha20poly1305_ietf_decrypt(
          plain.data(), &plainSize, nullptr, bytes + nonceSize, sealed->size() - nonceSize,
          reinterpret_cast<const unsigned char*>(additional.data()), additional.size(), bytes,
          reinterpret_cast<const unsigned char*>(k->data())) != 0) {
    remove();
    return std::nullopt;
  }
  std::string secret(reinterpret_cast<const char*>(plain.data()), plainSize);
  sodium_memzero(plain.data(), plain.size());
  sodium_memzero(k->data(), k->size());
  return secret;
}

bool SealedFile::seal(std::string_view secret, std::string_view additional) const {
  auto k = ready() ? key(true) : std::nullopt;
  if (!k) return false;
  constexpr std::size_t nonceSize = crypto_aead_xchacha20poly1305_ietf_NPUBBYTES;
  std::vector<unsigned char> out(nonceSize + secret.size() +
                                 crypto_aead_xchacha20poly1305_ietf_ABYTES);
  randombytes_buf(out.data(), nonceSize);
  unsigned long long sealedSize = 0;
  crypto_aead_xchacha20poly1305_ietf_encrypt(
      out.data() + nonceSize, &sealedSize, reinterpret_cast<const unsigned char*>(secret.data()),
      secret.size(), reinterpret_cast<const unsigned char*>(additional.data()), additional.size(),
      nullptr, out.data(), reinterpret_cast<const unsigned char*>(k->data()));
  sodium_memzero(k->data(), k->size());
  return writeAll(path_, out.data(), nonceSize + sealedSize);
}

void SealedFile::remove() const {
  g_unlink(path_.c_str());
}

}  // namespace vuko
