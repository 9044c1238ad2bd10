// A document the client keeps between runs under $XDG_STATE_HOME/vuko,
// replaced as a whole so that a crash leaves the old or the new one.
#pragma once

#include <optional>
#include <string>

namespace vuko {

class StateFile {
 public:
  explicit StateFile(const std::string& name);

  // None when the file is missing or cannot be read.
  std::optional<std::string> read() const;
  // False when it could not be written (logged).
  bool write(const std::string& contents) const;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace vuko
