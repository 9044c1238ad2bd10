// Destinations for downloads: the suggested name in the folder, or the first
// free "name (n).ext" after it. A name handed out stays reserved until it is
// released, so downloads started together never share a file.
#pragma once

#include <filesystem>
#include <set>
#include <string>

namespace vuko {

class DownloadNames {
 public:
  // A path in folder that neither exists nor is reserved; it is reserved now.
  std::filesystem::path choose(const std::filesystem::path& folder, const std::string& suggested);

  // Call when the download finished or failed.
  void release(const std::filesystem::path& path);

  bool isReserved(const std::filesystem::path& path) const { return reserved_.contains(path); }

  // The name actually used for a suggested one: a single plain file name.
  static std::string safeName(const std::string& suggested);

 private:
  bool taken(const std::filesystem::path& path) const;
  std::set<std::filesystem::path> reserved_;
};

}  // namespace vuko
