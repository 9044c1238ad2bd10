// The main page's sleep: its web process ends while nothing needs the page,
// and the page comes back behind its picture when the window shows.
#include <malloc.h>

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
  // A page never made has no process to end.
  if (!webView_) return;
  auto alive = life_.guard();
  keepSnapshot([this, alive] {
    // The window may have shown while the picture was taken.
    if (!alive || !hibernated() || ended_) return;
    sleptAt_ = pageUrl(webView_);
    ended_ = true;
    // A running download lives in the engine's network process, and a test
    // run's sign-in only in the engine's memory: only the page's process
    // ends then.
    if (downloads_->running() || inMemory_)
      webkit_web_view_terminate_web_process(webView_);
    else
      dropEngine();
    // What the page's side of the client freed goes back to the system, not
    // to the allocator's free lists, while it waits all day in the tray.
    malloc_trim(0);
  });
}

void WebController::cutOffEngine() {
  downloads_.reset();
  dialogs_.reset();
  if (context_) g_signal_handlers_disconnect_by_data(context_.get(), this);
  for (auto& m : managers_) g_signal_handlers_disconnect_by_data(m.get(), this);
}

void WebController::dropEngine() {
  // The pomodoro page shares the engine; its owner lets it go first.
  if (onEngineDropping) onEngineDropping();
  cutOffEngine();
  managers_.clear();
  cover_->setView(nullptr);
  gtk_widget_destroy(GTK_WIDGET(std::exchange(webView_, nullptr)));
  // The last reference to the context: its web and network processes end.
  settings_.reset();
  context_.reset();
}

void WebController::wake() {
  if (!std::exchange(ended_, false)) return;
  cover_->picture().coverAgain();
  // As at a start: the picture is drawn before the engine is made again.
  if (!webView_) makeEngineBehindPicture();
  if (sleptAt_ && !offline())
    pageView_.loadUrl(*sleptAt_);
  else
    page_.open("/today");
}

}  // namespace vuko
