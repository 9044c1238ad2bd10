// The main page's last picture in front of the live view until the page has
// painted after a start, and the keeping of that picture for the next start.
#pragma once

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <functional>
#include <memory>

#include "platform/gtk/GObjectPtr.h"
#include "web/gtk/PictureCover.h"

namespace vuko {

class SnapshotCover {
 public:
  explicit SnapshotCover(std::unique_ptr<PictureCover> picture);
  ~SnapshotCover();
  SnapshotCover(const SnapshotCover&) = delete;
  SnapshotCover& operator=(const SnapshotCover&) = delete;

  PictureCover& picture() { return *picture_; }
  bool covering() const { return picture_->covering(); }
  // Puts the live view under the picture, before anything else is asked of
  // the cover; none while the engine is away.
  void setView(WebKitWebView* view);
  // A page was committed in the view: the cover leaves once it has painted.
  void pageCommitted();
  // Keeps a picture of what the view shows for the server in use; done runs
  // once, when it is written, has failed or took too long.
  void save(std::function<void()> done);

 private:
  struct Saving;
  std::unique_ptr<PictureCover> picture_;
  WebKitWebView* view_ = nullptr;
  GObjectPtr<GCancellable> cancellable_;
};

}  // namespace vuko
