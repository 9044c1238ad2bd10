// The web application's files, compiled into the binary from devserver/web.
#pragma once

#include <cstddef>
#include <string_view>

namespace vuko::dev {

struct Asset {
  const char* path;  // relative to devserver/web, e.g. "app.js", "files/report.pdf"
  const unsigned char* data;
  std::size_t size;
  const char* contentType;
};

// Nothing when there is no such file.
const Asset* findAsset(std::string_view path);

}  // namespace vuko::dev
