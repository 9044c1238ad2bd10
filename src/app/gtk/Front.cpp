#include "app/gtk/Front.h"

#include <gmodule.h>

#include <cstdlib>
#include <string>

#include "platform/BenchMarks.h"
#include "server/Settings.h"

namespace vuko {

namespace {

// Next to the program in a build tree; once installed, in the library
// folder of the prefix the program is installed under.
std::string clientLibrary() {
  gchar* self = g_file_read_link("/proc/self/exe", nullptr);
  gchar* folder = g_path_get_dirname(self ? self : "/usr/bin/vuko");
  std::string path;
  for (const char* place : {".", VUKO_CLIENT_LIBRARY_DIR}) {
    gchar* file = g_build_filename(folder, place, VUKO_CLIENT_LIBRARY, nullptr);
    path = file;
    g_free(file);
    if (g_file_test(path.c_str(), G_FILE_TEST_EXISTS)) break;
  }
  g_free(folder);
  g_free(self);
  return path;
}

void report(const AppController::Outcome& outcome) {
  if (!outcome.error.empty()) g_printerr("%s", outcome.error.c_str());
}

}  // namespace

Front::Front(GtkApplication* app, RunConfig config) : app_(app), config_(std::move(config)) {
  // For the whole process, before the picture is looked for.
  Settings::useTestServer(config_.server ? Url::parse(*config_.server) : std::nullopt);
}

AppController::Outcome Front::commandLine(const AppController::CommandLine& line) {
  BenchMarks::mark("command-line");
  if (!client_ && !waiting_ && AppController::showsMainWindow(line)) {
    shown_ = std::make_unique<MainWindow>(MainWindow::make(true));
    if (shown_->cover->covering()) {
      // Until the client holds the application, the front does.
      g_application_hold(G_APPLICATION(app_));
      waiting_ = line;
      shown_->cover->whenShown([this] { client(); });
      gtk_widget_show(shown_->window);
      return {};
    }
  }
  return client().commandLine(line);
}

void Front::activate() {
  client().reopen();
}

AppController& Front::client() {
  if (!client_) {
    const std::string path = clientLibrary();
    GModule* library = g_module_open(path.c_str(), G_MODULE_BIND_LAZY);
    gpointer open = nullptr;
    if (!library || !g_module_symbol(library, "vuko_open_client", &open)) {
      g_printerr("vuko: не удаётся загрузить библиотеку клиента %s: %s\n", path.c_str(),
                 g_module_error());
      std::exit(EXIT_FAILURE);
    }
    // Its code runs until the process ends.
    g_module_make_resident(library);
    BenchMarks::mark("client-loaded");
    client_.reset(reinterpret_cast<VukoOpenClient>(open)(app_, &config_, shown_.release()));
  }
  if (auto line = std::exchange(waiting_, std::nullopt)) {
    report(client_->controller().commandLine(*line));
    g_application_release(G_APPLICATION(app_));
  }
  return client_->controller();
}

}  // namespace vuko
