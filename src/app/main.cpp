// Process entry: one application object, one delegate, the main loop.
#include <gtk/gtk.h>

#include <memory>

#include "app/AppDelegate.h"

int main(int argc, char** argv) {
  // The name the desktop knows the client by (its vuko.desktop entry).
  g_set_prgname("vuko");
  gtk_window_set_default_icon_name("vuko");
  GtkApplication* app = gtk_application_new("app.vuko.Vuko", G_APPLICATION_DEFAULT_FLAGS);
  auto delegate = std::make_unique<vuko::AppDelegate>(app);
  // "activate" comes on the first launch and again in this process whenever
  // the client is launched a second time.
  g_signal_connect(app, "activate", G_CALLBACK(+[](GApplication*, gpointer d) {
                     static_cast<vuko::AppDelegate*>(d)->reopen();
                   }),
                   delegate.get());
  int status = g_application_run(G_APPLICATION(app), argc, argv);
  delegate.reset();
  g_object_unref(app);
  return status;
}
