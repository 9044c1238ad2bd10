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
  return replaceFile(path_, contents, 0644);
}

std::optional<std::string> ConfigFile::remove() const {
  if (::g_remove(path_.c_str()) == 0 || errno == ENOENT) return std::nullopt;
  return std::string(g_strerror(errno));
}

}  // namespace vuko
