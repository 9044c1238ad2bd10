#include "platform/SettingsLauncher.h"

#include <glib.h>

#include "platform/Workspace.h"

namespace vuko {

namespace {

class DesktopSettingsLauncher final : public SettingsLauncher {
 public:
  std::string desktops() const override {
    const char* names = g_getenv("XDG_CURRENT_DESKTOP");
    return names ? names : "";
  }
  bool installed(const std::string& program) const override {
    return Workspace::installed(program);
  }
  bool run(const std::vector<std::string>& argv) override { return Workspace::run(argv); }
};

}  // namespace

SettingsLauncher& SettingsLauncher::desktop() {
  static DesktopSettingsLauncher launcher;
  return launcher;
}

}  // namespace vuko
