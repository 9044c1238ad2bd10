// The pomodoro mini window: the web application's "/mini-focus" page in a
// small panel that floats above other windows on every workspace and never
// takes the focus from the application in front.
#pragma once

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

namespace vuko {

class WebConfig;

class MiniFocus {
 public:
  explicit MiniFocus(const WebConfig& configuration);
  ~MiniFocus();
  MiniFocus(const MiniFocus&) = delete;
  MiniFocus& operator=(const MiniFocus&) = delete;

  bool isVisible() const;
  WebKitWebView* testWebView() const { return webView_; }
  GtkWindow* window() const { return GTK_WINDOW(window_); }

  void toggle();
  void show();
  // Loads the page afresh from the current server when shown; when hidden,
  // blanks it so that the next show loads it from the server then in use.
  void reload();

 private:
  void loadPage();
  GtkWidget* window_ = nullptr;
  WebKitWebView* webView_ = nullptr;
};

}  // namespace vuko
