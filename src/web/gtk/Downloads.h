// The web context's downloads: each file goes to the downloads folder under
// a free name and is revealed there when done; a failure is reported over
// the main window.
#pragma once

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <map>
#include <optional>
#include <string>

#include "platform/gtk/GObjectPtr.h"
#include "platform/gtk/SignalConnection.h"
#include "web/DownloadNames.h"

namespace vuko {

class Downloads {
 public:
  // parent: the window failure alerts are shown over.
  Downloads(WebKitWebContext* context, GtkWindow* parent);
  // Cancels the downloads still running.
  ~Downloads();
  Downloads(const Downloads&) = delete;
  Downloads& operator=(const Downloads&) = delete;

  bool running() const { return !downloads_.empty(); }

 private:
  struct Entry {
    GObjectPtr<WebKitDownload> download;
    // Decided by the destination step; none before it.
    std::optional<std::string> path;
    SignalConnection destination, failed, finished;
  };

  void started(WebKitDownload* download);
  gboolean decideDestination(WebKitDownload* download, const char* suggested);
  void failed(WebKitDownload* download, const GError* error);
  void finished(WebKitDownload* download);
  // Forgets a download and frees its name; its path, if one was decided.
  std::optional<std::string> forget(WebKitDownload* download);

  GtkWindow* parent_;
  std::map<WebKitDownload*, Entry> downloads_;
  DownloadNames names_;
  SignalConnection started_;
};

}  // namespace vuko
