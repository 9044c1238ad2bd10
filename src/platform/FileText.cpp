#include "platform/FileText.h"

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

}  // namespace vuko
