#include "platform/FileText.h"

#include <errno.h>
#include <glib.h>

namespace vuko {

std::optional<std::string> fileText(const std::string& path) {
  char* contents = nullptr;
  gsize length = 0;
  if (!g_file_get_contents(path.c_str(), &contents, &length, nullptr)) return std::nullopt;
  std::string text(contents, length);
  g_free(contents);
  return text;
}

std::optional<std::string> replaceFile(const std::string& path, std::string_view contents,
                                       int mode) {
  char* dir = g_path_get_dirname(path.c_str());
  const int made = g_mkdir_with_parents(dir, 0700);
  const int madeErrno = errno;
  g_free(dir);
  if (made != 0) return std::string(g_strerror(madeErrno));
  GError* error = nullptr;
  if (!g_file_set_contents_full(path.c_str(), contents.data(), static_cast<gssize>(contents.size()),
                                G_FILE_SET_CONTENTS_CONSISTENT, mode, &error)) {
    std::string reason = error->message;
    g_error_free(error);
    return reason;
  }
  return std::nullopt;
}

}  // namespace vuko
