// A small secret kept on disk sealed with a key of its own, in a separate
// file: a copy of the state folder (a backup, a bug report) carries nothing
// readable. It does not keep the secret from another process of the same
// user, which can read the key as well.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vuko {

class SealedFile {
 public:
  // path: the sealed copy; keyPath: its key, made on the first seal.
  SealedFile(std::string path, std::string keyPath);
  // $XDG_STATE_HOME/vuko/session, keyed by $XDG_DATA_HOME/vuko/session.key.
  static SealedFile session();

  // The secret sealed with this additional data. None when there is no copy,
  // no key, or the copy was sealed with other data or cannot be opened; such
  // a copy is deleted.
  std::optional<std::string> open(std::string_view additional) const;
  // Replaces the copy (mode 0600, whole or not at all); false when it could
  // not be written.
  bool seal(std::string_view secret, std::string_view additional) const;
  void remove() const;

  const std::string& path() const { return path_; }
  const std::string& keyPath() const { return keyPath_; }

 private:
  std::optional<std::string> key(bool make) const;

  std::string path_;
  std::string keyPath_;
};

}  // namespace vuko
