#include <memory>

#include "app/gtk/AppDelegate.h"
#include "app/gtk/AppHost.h"

vuko::AppHost* vuko_open_client(GtkApplication* app, const vuko::RunConfig* config,
                                vuko::MainWindow* shown) {
  auto* delegate = new vuko::AppDelegate(app, *config);
  delegate->takeShownWindow(std::unique_ptr<vuko::MainWindow>(shown));
  return delegate;
}
