#include "web/gtk/SnapshotCover.h"

#include <memory>
#include <string>

#include "platform/BenchMarks.h"
#include "platform/FileText.h"
#include "server/Settings.h"
#include "web/PaintedMark.h"

namespace vuko {

namespace {

constexpr const char* kPainted = VUKO_PAINTED_SCRIPT;

// A hidden view draws no frames: the picture then leaves after this long.
constexpr Clock::Duration kPaintLimit{3000};
// Quitting waits no longer than this for the picture.
constexpr Clock::Duration kSaveLimit{1500};

bool cancelled(GError* error) {
  return g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
}

}  // namespace

struct SnapshotCover::Saving {
  std::filesystem::path path;
  std::string server;
  std::function<void()> done;

  void finish() {
    if (auto d = std::exchange(done, nullptr)) d();
  }

  void write(cairo_surface_t* surface) {
    if (cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_IMAGE) return;
    // Read in the image's own pixels; its scale is what the size check uses.
    cairo_surface_set_device_scale(surface, 1, 1);
    GdkPixbuf* pixbuf =
        gdk_pixbuf_get_from_surface(surface, 0, 0, cairo_image_surface_get_width(surface),
                                    cairo_image_surface_get_height(surface));
    if (!pixbuf) return;
    gchar* data = nullptr;
    gsize size = 0;
    if (gdk_pixbuf_save_to_buffer(pixbuf, &data, &size, "png", nullptr, PictureCover::kServerKey,
                                  server.c_str(), nullptr)) {
      // Replaced whole, so that a half-written picture is never what the
      // next start finds; for the user's eyes only, as it shows their tasks.
      // A picture not kept only means no picture at the next start.
      replaceFile(path.string(), {data, size}, 0600);
    }
    g_free(data);
    g_object_unref(pixbuf);
  }
};

SnapshotCover::SnapshotCover(std::unique_ptr<PictureCover> picture)
    : picture_(std::move(picture)),
      cancellable_(GObjectPtr<GCancellable>::adopt(g_cancellable_new())) {}

void SnapshotCover::setView(WebKitWebView* view) {
  view_ = view;
  picture_->setView(GTK_WIDGET(view));
}

SnapshotCover::~SnapshotCover() {
  // Pending calls answer with "cancelled" and leave this object alone; the
  // widgets went with the window.
  g_cancellable_cancel(cancellable_.get());
}

void SnapshotCover::pageCommitted() {
  // The benchmark times the first painted page with or without a cover.
  if (!covering() && !BenchMarks::pending("first-frame")) return;
  picture_->uncoverWithin(kPaintLimit);
  webkit_web_view_call_async_javascript_function(
      view_, kPainted, -1, nullptr, nullptr, nullptr, cancellable_.get(),
      [](GObject* src, GAsyncResult* res, gpointer self) {
        GError* error = nullptr;
        JSCValue* value = webkit_web_view_call_async_javascript_function_finish(
            WEBKIT_WEB_VIEW(src), res, &error);
        if (value) g_object_unref(value);
        // A document replaced before it painted leaves the cover to the
        // next one.
        const bool painted = value != nullptr;
        const bool gone = cancelled(error);
        g_clear_error(&error);
        if (painted && !gone) {
          BenchMarks::mark("first-frame");
          static_cast<SnapshotCover*>(self)->picture_->uncover();
        }
      },
      this);
}

void SnapshotCover::save(std::function<void()> done) {
  auto saving = std::make_shared<Saving>();
  saving->server = Settings::server().str();
  saving->path = PictureCover::file(Settings::server());
  saving->done = std::move(done);
  Clock::main().schedule(kSaveLimit, [saving] { saving->finish(); }).release();
  webkit_web_view_get_snapshot(
      view_, WEBKIT_SNAPSHOT_REGION_VISIBLE, WEBKIT_SNAPSHOT_OPTIONS_NONE, cancellable_.get(),
      [](GObject* src, GAsyncResult* res, gpointer p) {
        std::unique_ptr<std::shared_ptr<Saving>> held(static_cast<std::shared_ptr<Saving>*>(p));
        cairo_surface_t* surface =
            webkit_web_view_get_snapshot_finish(WEBKIT_WEB_VIEW(src), res, nullptr);
        if (surface) {
          (*held)->write(surface);
          cairo_surface_destroy(surface);
        }
        (*held)->finish();
      },
      new std::shared_ptr<Saving>(saving));
}

}  // namespace vuko
