// The self-test run's questions, answered by the live components.
#include "app/AppDelegate.h"
#include "quick/gtk/QuickPanel.h"
#include "selftest/gtk/TestHooks.h"
#include "server/gtk/ServerSheet.h"
#include "settings/gtk/SettingsWindow.h"

namespace vuko {

namespace {

// A window made for one snapshot: shown, then destroyed with its owner.
template <typename Window>
TestWindow shownForSnapshot(std::shared_ptr<Window> made) {
  GtkWidget* widget = GTK_WIDGET(made->window());
  gtk_widget_show_all(widget);
  return {widget, [made]() mutable { made.reset(); }};
}

}  // namespace

TestHooks AppDelegate::selfTestHooks() {
  auto alive = life_.guard();
  TestHooks hooks;
  hooks.quit = [app = app_] { g_application_quit(G_APPLICATION(app)); };
  hooks.refreshBadge = [this, alive] {
    if (alive) updateBadge();
  };
  hooks.badgeLabel = [this, alive] {
    if (!alive) return std::string();
    return badgeLabel().value_or("");
  };
  QuickPanel* quick = quick_.get();
  hooks.quickShow = [quick, alive] {
    if (alive) quick->show();
  };
  hooks.quickType = [quick, alive](const std::string& text) {
    if (alive) quick->testType(text);
  };
  hooks.quickPreview = [quick, alive] {
    if (!alive) return std::string();
    const char* text = gtk_label_get_text(quick->testPreview());
    return std::string(text ? text : "");
  };
  hooks.quickSubmit = [quick, alive] {
    if (alive) quick->testSubmit();
  };
  hooks.quickHide = [quick, alive] {
    if (alive) quick->hide();
  };
  hooks.quickWidget = [quick, alive]() -> GtkWidget* {
    return alive ? gtk_widget_get_toplevel(quick->testView()) : nullptr;
  };
  hooks.openSheet = [] {
    // Filled from the stored settings as the user would see it; never accepted.
    auto sheet = std::make_shared<ServerSheet>();
    sheet->present(nullptr, [](bool) {});
    return shownForSnapshot(sheet);
  };
  hooks.openSettings = [this, alive] {
    auto window = std::make_shared<SettingsWindow>();
    if (alive) joinSettings(*window);
    window->refresh();
    return shownForSnapshot(window);
  };
  return hooks;
}

}  // namespace vuko
