// A file under the user's configuration folder ($XDG_CONFIG_HOME), replaced
// as a whole so that a crash leaves the old or the new one. A failure comes
// back as the system's reason, for the caller to word.
#pragma once

#include <optional>
#include <string>

namespace vuko {

class ConfigFile {
 public:
  // relative: the path under the configuration folder.
  explicit ConfigFile(const std::string& relative);

  const std::string& path() const { return path_; }
  // None when the file is missing or cannot be read.
  std::optional<std::string> read() const;
  // Creates the folders it needs; the reason when it could not be written.
  std::optional<std::string> write(const std::string& contents) const;
  // A missing file counts as removed; the reason when it could not be.
  std::optional<std::string> remove() const;

 private:
  std::string path_;
};

}  // namespace vuko
