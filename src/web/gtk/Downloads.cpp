#include "web/gtk/Downloads.h"

#include "platform/Http.h"
#include "platform/Workspace.h"
#include "server/NetworkText.h"
#include "web/gtk/PageDialogs.h"

namespace vuko {

namespace {

// The web engine's own texts are English; the user reads Russian.
std::string downloadFailure(const GError* error) {
  if (g_error_matches(error, WEBKIT_DOWNLOAD_ERROR, WEBKIT_DOWNLOAD_ERROR_DESTINATION))
    return "Не удаётся записать файл в папку загрузок.";
  if (error->domain == WEBKIT_DOWNLOAD_ERROR) return "Загрузка прервана.";
  return networkFailureText(networkErrorKind(error->domain, error->code));
}

}  // namespace

Downloads::Downloads(WebKitWebContext* context, GtkWindow* parent) : parent_(parent) {
  started_ = SignalConnection::connect(
      context, "download-started",
      G_CALLBACK(+[](WebKitWebContext*, WebKitDownload* d, gpointer self) {
        static_cast<Downloads*>(self)->started(d);
      }),
      this);
}

Downloads::~Downloads() {
  started_.reset();
  // Cut off first, so that the cancellation reports nothing.
  auto running = std::move(downloads_);
  for (auto& [download, entry] : running) {
    entry.destination.reset();
    entry.failed.reset();
    entry.finished.reset();
    webkit_download_cancel(download);
  }
}

void Downloads::started(WebKitDownload* download) {
  Entry& e = downloads_[download];
  e.download = GObjectPtr<WebKitDownload>::share(download);
  e.destination = SignalConnection::connect(
      download, "decide-destination",
      G_CALLBACK(+[](WebKitDownload* d, gchar* suggested, gpointer self) -> gboolean {
        return static_cast<Downloads*>(self)->decideDestination(d, suggested);
      }),
      this);
  e.failed = SignalConnection::connect(
      download, "failed", G_CALLBACK(+[](WebKitDownload* d, GError* error, gpointer self) {
        static_cast<Downloads*>(self)->failed(d, error);
      }),
      this);
  e.finished = SignalConnection::connect(download, "finished",
                                         G_CALLBACK(+[](WebKitDownload* d, gpointer self) {
                                           static_cast<Downloads*>(self)->finished(d);
                                         }),
                                         this);
}

gboolean Downloads::decideDestination(WebKitDownload* download, const char* suggested) {
  auto it = downloads_.find(download);
  if (it == downloads_.end()) return FALSE;
  auto path = names_.choose(Workspace::downloadsFolder(), suggested ? suggested : "");
  gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
  if (!uri) return FALSE;
  webkit_download_set_destination(download, uri);
  g_free(uri);
  it->second.path = path.string();
  return TRUE;
}

std::optional<std::string> Downloads::forget(WebKitDownload* download) {
  auto it = downloads_.find(download);
  if (it == downloads_.end()) return std::nullopt;
  // The handle keeps the download alive until its signal has run.
  Entry gone = std::move(it->second);
  downloads_.erase(it);
  if (gone.path) names_.release(*gone.path);
  return gone.path;
}

void Downloads::failed(WebKitDownload* download, const GError* error) {
  // "finished" follows a failure; with the entry gone the failed file is
  // never revealed.
  forget(download);
  std::string reason = downloadFailure(error);
  GtkWidget* alert = messageDialog(parent_, "Не удалось скачать файл");
  gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(alert), "%s", reason.c_str());
  gtk_dialog_add_button(GTK_DIALOG(alert), "OK", GTK_RESPONSE_OK);
  // No data: the alert destroys itself.
  g_signal_connect(alert, "response", G_CALLBACK(gtk_widget_destroy), nullptr);
  gtk_widget_show(alert);
}

void Downloads::finished(WebKitDownload* download) {
  if (auto path = forget(download)) Workspace::revealFile(*path);
}

}  // namespace vuko
