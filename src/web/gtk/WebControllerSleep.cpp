// The main page's sleep: its web process ends while nothing needs the page,
// and the page comes back behind its picture when the window shows. A
// hidden start begins asleep, before even the view is made.
#include "platform/Defaults.h"
#include "web/gtk/Downloads.h"
#include "web/gtk/PageDialogs.h"
#include "web/gtk/SnapshotCover.h"
#include "web/gtk/WebController.h"

namespace vuko {

void WebController::setUpHibernation(bool asleep) {
  hibernation_.delaySource = [] { return Hibernation::delay(Defaults::standard()); };
  hibernation_.onSleep = [this] { sleep(); };
  hibernation_.onWake = [this] { wake(); };
  // The page sleeps, and the offline page retries by itself, only as the
  // window's visibility allows.
  g_signal_connect(window_, "show", G_CALLBACK(+[](GtkWidget*, gpointer self) {
                     static_cast<WebController*>(self)->windowShown(true);
                   }),
                   this);
  g_signal_connect(window_, "hide", G_CALLBACK(+[](GtkWidget*, gpointer self) {
                     static_cast<WebController*>(self)->windowShown(false);
                   }),
                   this);
  // A client started in the background has a window that was never shown.
  if (asleep) {
    hibernation_.startAsleep();
    page_.setVisible(false);
  }
  hibernation_.windowShown(gtk_widget_get_visible(window_));
}

void WebController::windowShown(bool shown) {
  hibernation_.windowShown(shown);
  page_.setVisible(shown);
}

void WebController::setPomodoroOpen(bool open) {
  hibernation_.pomodoroOpen(open);
}

void WebController::sleep() {
  auto alive = life_.guard();
  keepSnapshot([this, alive] {
    // The window may have shown while the picture was taken.
    if (!alive || !hibernated() || ended_) return;
    sleptAt_ = pageUrl(webView_);
    ended_ = true;
    webkit_web_view_terminate_web_process(webView_);
  });
}

void WebController::wake() {
  if (!std::exchange(ended_, false)) return;
  buildView();
  cover_->coverAgain();
  if (sleptAt_ && !offline())
    pageView_.loadUrl(*sleptAt_);
  else
    page_.open("/today");
}

void WebController::buildView() {
  if (webView_) return;
  setUpContext(inMemory_);
  webView_ = makeView(nullptr);
  cover_ = std::make_unique<SnapshotCover>(window(), GTK_CONTAINER(place_), webView_);
  gtk_widget_show(GTK_WIDGET(webView_));
  connectNavigation();
  dialogs_ = std::make_unique<PageDialogs>(webView_, window());
  downloads_ = std::make_unique<Downloads>(context_.get(), window());
  // A crash reloads the page; an ended sleep waits for the window.
  g_signal_connect(
      webView_, "web-process-terminated",
      G_CALLBACK(+[](WebKitWebView* v, WebKitWebProcessTerminationReason, gpointer self) {
        if (!static_cast<WebController*>(self)->ended_) webkit_web_view_reload(v);
      }),
      this);
}

}  // namespace vuko
