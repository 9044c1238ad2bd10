// The main page's sleep: its web process ends while nothing needs the page,
// and the page comes back behind its picture when the window shows.
#include <malloc.h>

#include "platform/Defaults.h"
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
  // A page never made has no process to end.
  if (!webView_) return;
  auto alive = life_.guard();
  keepSnapshot([this, alive] {
    // The window may have shown while the picture was taken.
    if (!alive || !hibernated() || ended_) return;
    sleptAt_ = pageUrl(webView_);
    ended_ = true;
    webkit_web_view_terminate_web_process(webView_);
    // What the page's side of the client freed goes back to the system, not
    // to the allocator's free lists, while it waits all day in the tray.
    malloc_trim(0);
  });
}

void WebController::wake() {
  if (!std::exchange(ended_, false)) return;
  cover_->coverAgain();
  // A hidden start makes the engine now, as a start does: after the picture.
  if (!webView_) {
    if (cover_->covering())
      cover_->onShown = [this] { makeEngine(); };
    else
      makeEngine();
  }
  if (sleptAt_ && !offline())
    pageView_.loadUrl(*sleptAt_);
  else
    page_.open("/today");
}

}  // namespace vuko
