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
  char* dir = g_path_get_dirname(path_.c_str());
  g_mkdir_with_parents(dir, 0700);
  g_free(dir);
  GError* error = nullptr;
  // Written to a temporary file and renamed over the old one.
  if (!g_file_set_contents(path_.c_str(), contents.data(), static_cast<gssize>(contents.size()),
                           &error)) {
    g_warning("cannot write %s: %s", path_.c_str(), error->message);
    g_error_free(error);
    return false;
  }
  return true;
}

}  // namespace vuko
