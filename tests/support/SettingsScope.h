// Settings of one test: an empty in-memory defaults store and the task server
// named by VUKO_TEST_SERVER (none when not given), read afresh; the server
// variable is dropped again at the end.
#pragma once

#include <cstdlib>
#include <memory>
#include <string>

#include "platform/Defaults.h"
#include "server/Settings.h"

namespace vuko::test {

class SettingsScope {
 public:
  explicit SettingsScope(const std::string& server = {})
      : store(std::make_shared<MemoryDefaults>()) {
    Defaults::setStandard(store);
    if (server.empty())
      unsetenv("VUKO_TEST_SERVER");
    else
      setenv("VUKO_TEST_SERVER", server.c_str(), 1);
    Settings::resetTestOverride();
  }
  ~SettingsScope() {
    unsetenv("VUKO_TEST_SERVER");
    Settings::resetTestOverride();
  }
  SettingsScope(const SettingsScope&) = delete;
  SettingsScope& operator=(const SettingsScope&) = delete;

  std::shared_ptr<MemoryDefaults> store;
};

}  // namespace vuko::test
