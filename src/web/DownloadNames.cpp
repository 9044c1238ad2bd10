#include "web/DownloadNames.h"

#include <algorithm>

namespace vuko {

namespace {

constexpr const char* kFallbackName = "download";

}  // namespace

// The name comes from the server or the page; it must not climb out of the
// folder or name the folder itself.
std::string DownloadNames::safeName(const std::string& suggested) {
  std::string name = suggested;
  name.erase(std::remove(name.begin(), name.end(), '\0'), name.end());
  if (auto slash = name.rfind('/'); slash != std::string::npos) name.erase(0, slash + 1);
  if (name.empty() || name == "." || name == "..") return kFallbackName;
  return name;
}

std::filesystem::path DownloadNames::choose(const std::filesystem::path& folder,
                                            const std::string& suggested) {
  const std::string name = safeName(suggested);
  // A leading dot starts a hidden name, not an extension; a trailing dot
  // leaves no extension to keep.
  std::string base = name, extension;
  if (auto dot = name.rfind('.'); dot != std::string::npos && dot != 0 && dot + 1 < name.size()) {
    base = name.substr(0, dot);
    extension = name.substr(dot + 1);
  }

  std::filesystem::path candidate = folder / name;
  for (int n = 1; taken(candidate); ++n) {
    std::string next = base + " (" + std::to_string(n + 1) + ")";
    if (!extension.empty()) next += "." + extension;
    candidate = folder / next;
  }
  reserved_.insert(candidate);
  return candidate;
}

void DownloadNames::release(const std::filesystem::path& path) {
  reserved_.erase(path);
}

bool DownloadNames::taken(const std::filesystem::path& path) const {
  if (reserved_.contains(path)) return true;
  // A dangling symbolic link counts as taken: writing there would follow it.
  std::error_code ec;
  return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

}  // namespace vuko
