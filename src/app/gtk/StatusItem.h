// The client's item in the desktop's status area: a check-mark icon with the
// status menu, and today's task count beside it where the desktop shows
// labels. Where no status area runs, the item falls back to a tray icon or
// is simply not seen; the client works the same either way.
#pragma once

#include <gtk/gtk.h>

#include <memory>
#include <optional>
#include <string>

namespace vuko {

class StatusItem {
 public:
  explicit StatusItem(GtkMenu* menu);
  ~StatusItem();
  StatusItem(const StatusItem&) = delete;
  StatusItem& operator=(const StatusItem&) = delete;

  void setLabel(const std::optional<std::string>& label);

  static constexpr const char* kIconName = "vuko-status";

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace vuko
