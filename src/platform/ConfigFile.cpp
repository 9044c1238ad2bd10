#include "platform/ConfigFile.h"
#include "platform/FileText.h"

#include <errno.h>
#include <glib.h>
#include <glib/gstdio.h>

namespace vuko {

ConfigFile::ConfigFile(const std::string& relative) {
  char* path = g_build_filename(g_get_user_config_dir(), relative.c_str(), nullptr);
  path_ = path;
  g_free(path);
}

std::optional<std::string> ConfigFile::read() const {
  return fileText(path_);
}

std::optional<std::string> ConfigFile::write(const std::string& contents) const {
  char* dir = g_path_get_dirname(path_.c_str());
  const int made = g_mkdir_with_parents(dir, 0700);
  const int madeErrno = errno;
  g_free(dir);
  if (made != 0) return std::string(g_strerror(madeErrno));
  GError* error = nullptr;
  // Written to a temporary file, flushed and renamed over the old one.
  if (!g_file_set_contents_full(path_.c_str(), contents.data(),
                                static_cast<gssize>(contents.size()),
                                G_FILE_SET_CONTENTS_CONSISTENT, 0644, &error)) {
    std::string reason = error->message;
    g_error_free(error);
    return reason;
  }
  return std::nullopt;
}

std::optional<std::string> ConfigFile::remove() const {
  if (::g_remove(path_.c_str()) == 0 || errno == ENOENT) return std::nullopt;
  return std::string(g_strerror(errno));
}

}  // namespace vuko
