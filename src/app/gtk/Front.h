// The program's front: it takes each launch and hands it to the client,
// which it opens from the client's library on the first launch. A start
// that shows the window shows the last page's picture first, while the
// engine's libraries are not even loaded yet.
#pragma once

#include <gtk/gtk.h>

#include <memory>
#include <optional>

#include "app/AppController.h"
#include "app/gtk/AppHost.h"
#include "selftest/TestVariables.h"
#include "web/gtk/MainWindow.h"

namespace vuko {

class Front {
 public:
  explicit Front(GtkApplication* app, RunConfig config);
  Front(const Front&) = delete;
  Front& operator=(const Front&) = delete;

  AppController::Outcome commandLine(const AppController::CommandLine& line);
  // The client brought to front without a command line.
  void activate();

 private:
  // Opens the client once, and runs the start's own launch if it waits.
  AppController& client();

  GtkApplication* app_;
  const RunConfig config_;
  std::unique_ptr<AppHost> client_;
  std::unique_ptr<MainWindow> shown_;
  // The start's own launch, while its picture is being drawn.
  std::optional<AppController::CommandLine> waiting_;
};

}  // namespace vuko
