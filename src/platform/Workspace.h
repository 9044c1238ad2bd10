// The desktop around the client: opening addresses with their default
// handler, showing a file in the file manager, the user's Downloads folder.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace vuko {

class Workspace {
 public:
  using Opener = std::function<void(const std::string& uri)>;

  // Opens url with the desktop's default handler; the outcome is not reported.
  static void openUrl(const std::string& url);

  // Shows the file selected in a file-manager window, or, when no file manager
  // answers, opens the folder that holds it.
  static void revealFile(const std::string& path);

  // $XDG_DOWNLOAD_DIR when absolute, else the desktop's Downloads folder, else
  // ~/Downloads. Created when missing.
  static std::filesystem::path downloadsFolder();

  // Whether a program of that name is found on the PATH.
  static bool installed(const std::string& program);
  // Starts argv (the program looked up on the PATH) without waiting for it;
  // false when it could not be started.
  static bool run(const std::vector<std::string>& argv);

  // Replaces the default handler for everything this class opens (tests record
  // instead of launching); an empty opener restores the default handler.
  static void setOpener(Opener opener);
};

}  // namespace vuko
