// The page's own dialogs (alert, confirm, prompt) and its file chooser, run
// modally on the main window without a nested main loop: the page waits
// until the dialog's answer is handed back.
#pragma once

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include "platform/gtk/SignalConnection.h"

namespace vuko {

// A message dialog without buttons over parent, modal and gone with it.
GtkWidget* messageDialog(GtkWindow* parent, const char* text);

class PageDialogs {
 public:
  PageDialogs(WebKitWebView* view, GtkWindow* parent);
  PageDialogs(const PageDialogs&) = delete;
  PageDialogs& operator=(const PageDialogs&) = delete;

 private:
  GtkWindow* parent_;
  SignalConnection scriptDialog_, fileChooser_;
};

}  // namespace vuko
