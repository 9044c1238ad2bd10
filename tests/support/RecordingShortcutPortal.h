// A shortcut portal that records the sessions asked for and the sets bound;
// the test answers the opening and plays the desktop's signals through the
// callbacks.
#pragma once

#include <string>
#include <vector>

#include "platform/ShortcutPortal.h"

namespace vuko {

inline bool operator==(const ShortcutPortal::Shortcut& a, const ShortcutPortal::Shortcut& b) {
  return a.id == b.id && a.description == b.description &&
         a.preferredTrigger == b.preferredTrigger;
}

namespace test {

class RecordingShortcutPortal final : public ShortcutPortal {
 public:
  void open(const std::string& appId, Ready answer) override {
    appIds.push_back(appId);
    ready = std::move(answer);
  }
  void bind(const std::vector<Shortcut>& shortcuts) override { binds.push_back(shortcuts); }

  std::vector<std::string> appIds;
  Ready ready;
  std::vector<std::vector<Shortcut>> binds;
};

}  // namespace test
}  // namespace vuko
