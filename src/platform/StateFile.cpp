#include "platform/StateFile.h"
#include "platform/FileText.h"

#include <glib.h>

namespace vuko {

StateFile::StateFile(const std::string& name) {
  char* path = g_build_filename(g_get_user_state_dir(), "vuko", name.c_str(), nullptr);
  path_ = path;
  g_free(path);
}

std::optional<std::string> StateFile::read() const {
  return fileText(path_);
}

bool StateFile::write(const std::string& contents) const {
  // As a plain write would make it: readable, as far as the user's mask allows.
  if (auto reason = replaceFile(path_, contents, 0666)) {
    g_warning("cannot write %s: %s", path_.c_str(), reason->c_str());
    return false;
  }
  return true;
}

}  // namespace vuko
