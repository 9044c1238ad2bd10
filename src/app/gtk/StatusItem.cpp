#include "app/gtk/StatusItem.h"

#include <libayatana-appindicator/app-indicator.h>

#include <filesystem>

#include "platform/gtk/GObjectPtr.h"

namespace vuko {

namespace {

// The icon is installed beside the program (prefix/bin and
// prefix/share/icons); the build tree keeps the same shape.
std::string iconThemePath() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  auto icons = exe.parent_path().parent_path() / "share" / "icons";
  return std::filesystem::is_directory(icons, ec) ? icons.string() : std::string();
}

}  // namespace

struct StatusItem::Impl {
  GObjectPtr<AppIndicator> indicator;
  GObjectPtr<GtkMenu> menu;
};

StatusItem::StatusItem(GtkMenu* menu) : impl_(std::make_unique<Impl>()) {
  impl_->menu = GObjectPtr<GtkMenu>::share(menu);
  auto* indicator = app_indicator_new("vuko", kIconName, APP_INDICATOR_CATEGORY_APPLICATION_STATUS);
  impl_->indicator = GObjectPtr<AppIndicator>::adopt(indicator);
  if (auto path = iconThemePath(); !path.empty())
    app_indicator_set_icon_theme_path(indicator, path.c_str());
  app_indicator_set_icon_full(indicator, kIconName, "Vuko");
  // Status areas show the title where a tool tip would be.
  app_indicator_set_title(indicator, "Vuko");
  app_indicator_set_menu(indicator, menu);
  app_indicator_set_status(indicator, APP_INDICATOR_STATUS_ACTIVE);
}

StatusItem::~StatusItem() {
  app_indicator_set_status(impl_->indicator.get(), APP_INDICATOR_STATUS_PASSIVE);
}

void StatusItem::setLabel(const std::optional<std::string>& label) {
  app_indicator_set_label(impl_->indicator.get(), label ? label->c_str() : "", "999");
}

}  // namespace vuko
