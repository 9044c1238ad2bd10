// What the program's front asks of the rest of the client, which lives in a
// library of its own: the web engine's libraries take longer to load than
// the rest of a start, so the front opens it only once the window shows the
// last page's picture.
#pragma once

#include <gtk/gtk.h>

#include "app/AppController.h"
#include "selftest/TestVariables.h"
#include "web/gtk/MainWindow.h"

namespace vuko {

class AppHost {
 public:
  virtual ~AppHost() = default;
  virtual AppController& controller() = 0;
};

}  // namespace vuko

// The library's one entry. shown: the window a start already shows, or null;
// the client takes it over.
extern "C" {
using VukoOpenClient = vuko::AppHost* (*)(GtkApplication* app, const vuko::RunConfig* config,
                                          vuko::MainWindow* shown);
vuko::AppHost* vuko_open_client(GtkApplication* app, const vuko::RunConfig* config,
                                vuko::MainWindow* shown);
}
