// The main page's last picture in front of the live view until the page has
// painted after a start, and the keeping of that picture for the next start.
#pragma once

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <filesystem>
#include <functional>

#include "platform/Clock.h"
#include "platform/Url.h"
#include "platform/gtk/GObjectPtr.h"

namespace vuko {

class SnapshotCover {
 public:
  // Fills window with the stored picture of the server in use when one fits
  // the window. A picture that cannot be read or does not fit is deleted.
  // Without showNow the picture waits for coverAgain().
  explicit SnapshotCover(GtkWindow* window, bool showNow = true);
  ~SnapshotCover();
  SnapshotCover(const SnapshotCover&) = delete;
  SnapshotCover& operator=(const SnapshotCover&) = delete;

  // Puts the live view under the picture, before anything else is asked of
  // the cover; none while the engine is away.
  void setView(WebKitWebView* view);
  bool covering() const { return cover_ != nullptr; }
  // Once, after the picture was first drawn, or when it was not shown after
  // all.
  std::function<void()> onShown;
  // Shows the live view for good.
  void uncover();
  // Puts the stored picture in front of the view again, as at a start.
  void coverAgain();
  // A page was committed in the view: the cover leaves once it has painted.
  void pageCommitted();
  // Keeps a picture of what the view shows for the server in use; done runs
  // once, when it is written, has failed or took too long.
  void save(std::function<void()> done);
  // Deletes the picture of the server in use.
  void forget();

  // Where the picture of a server is kept.
  static std::filesystem::path file(const Url& server);

 private:
  struct Saving;
  void showStored();
  void showPicture(cairo_surface_t* picture);
  // The cover got its size: a picture of another size is not shown.
  void allocated(int width, int height);
  void discard();
  void shown();

  GtkWindow* window_ = nullptr;
  GtkWidget* overlay_ = nullptr;
  // Holds the live view under the picture.
  GtkWidget* holder_ = nullptr;
  WebKitWebView* view_ = nullptr;
  std::filesystem::path path_;
  bool sized_ = false;
  GtkWidget* cover_ = nullptr;
  // The cover's picture; it goes with the cover.
  cairo_surface_t* picture_ = nullptr;
  GObjectPtr<GCancellable> cancellable_;
  Timer paintLimit_;
};

}  // namespace vuko
