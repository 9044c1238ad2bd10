// The desktop's own settings programs: which desktops the session runs,
// whether a program is installed, and starting one. Which program shows what
// is the settings component's table.
#pragma once

#include <string>
#include <vector>

namespace vuko {

class SettingsLauncher {
 public:
  virtual ~SettingsLauncher() = default;
  // The colon-separated desktops the session names (XDG_CURRENT_DESKTOP).
  virtual std::string desktops() const = 0;
  virtual bool installed(const std::string& program) const = 0;
  // Starts argv without waiting; false when it could not be started.
  virtual bool run(const std::vector<std::string>& argv) = 0;

  // The session's own launcher.
  static SettingsLauncher& desktop();
};

}  // namespace vuko
