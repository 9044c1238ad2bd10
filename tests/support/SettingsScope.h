// Settings of one test: an empty in-memory defaults store and a test run's
// task server (none when not given), read afresh; dropped again at the end.
#pragma once

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
    Settings::useTestServer(server.empty() ? std::nullopt : Url::parse(server));
  }
  ~SettingsScope() { Settings::useTestServer(std::nullopt); }
  SettingsScope(const SettingsScope&) = delete;
  SettingsScope& operator=(const SettingsScope&) = delete;

  std::shared_ptr<MemoryDefaults> store;
};

}  // namespace vuko::test
