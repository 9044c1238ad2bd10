#include "web/gtk/SnapshotCover.h"

#include <memory>
#include <string>
#include <system_error>

#include "platform/BenchMarks.h"
#include "platform/FileText.h"
#include "platform/gtk/LabelStyle.h"
#include "server/Settings.h"
#include "web/PaintedMark.h"
#include "web/Snapshot.h"

namespace vuko {

namespace {

constexpr const char* kPainted = VUKO_PAINTED_SCRIPT;

// A hidden view draws no frames: the picture then leaves after this long.
constexpr Clock::Duration kPaintLimit{3000};
// Quitting waits no longer than this for the picture.
constexpr Clock::Duration kSaveLimit{1500};

constexpr int kLargest = 16384;

constexpr const char* kServerKey = "tEXt::vuko-server";

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
    if (gdk_pixbuf_save_to_buffer(pixbuf, &data, &size, "png", nullptr, kServerKey, server.c_str(),
                                  nullptr)) {
      // Replaced whole, so that a half-written picture is never what the
      // next start finds; for the user's eyes only, as it shows their tasks.
      // A picture not kept only means no picture at the next start.
      replaceFile(path.string(), {data, size}, 0600);
    }
    g_free(data);
    g_object_unref(pixbuf);
  }
};

SnapshotCover::SnapshotCover(GtkWindow* window, bool showNow)
    : cancellable_(GObjectPtr<GCancellable>::adopt(g_cancellable_new())) {
  GtkWidget* overlay = gtk_overlay_new();
  holder_ = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  gtk_container_add(GTK_CONTAINER(overlay), holder_);
  gtk_widget_show(holder_);
  gtk_container_add(GTK_CONTAINER(window), overlay);
  gtk_widget_show(overlay);
  overlay_ = overlay;
  window_ = window;
  if (showNow) showStored();
}

void SnapshotCover::setView(WebKitWebView* view) {
  view_ = view;
  if (view) gtk_box_pack_start(GTK_BOX(holder_), GTK_WIDGET(view), TRUE, TRUE, 0);
}

void SnapshotCover::shown() {
  // After the drawing, not inside it: what runs next may take a while.
  if (auto next = std::exchange(onShown, nullptr)) Clock::main().defer(std::move(next));
}

void SnapshotCover::coverAgain() {
  if (!cover_) showStored();
}

void SnapshotCover::showStored() {
  sized_ = false;
  const Url server = Settings::server();
  path_ = file(server);
  if (!g_file_test(path_.c_str(), G_FILE_TEST_EXISTS)) return;
  // A picture no screen could show is not even decoded.
  int width = 0, height = 0;
  gdk_pixbuf_get_file_info(path_.c_str(), &width, &height);
  GdkPixbuf* pixbuf = width > 0 && height > 0 && width <= kLargest && height <= kLargest
                          ? gdk_pixbuf_new_from_file(path_.c_str(), nullptr)
                          : nullptr;
  const char* stored = pixbuf ? gdk_pixbuf_get_option(pixbuf, kServerKey) : nullptr;
  const int scale = gtk_widget_get_scale_factor(GTK_WIDGET(window_));
  // The view's size is only known once it is allocated; until then the
  // picture is checked against itself.
  if (!pixbuf ||
      !Snapshot::fits(stored ? stored : "", server, gdk_pixbuf_get_width(pixbuf),
                      gdk_pixbuf_get_height(pixbuf), gdk_pixbuf_get_width(pixbuf) / scale,
                      gdk_pixbuf_get_height(pixbuf) / scale, scale)) {
    if (pixbuf) g_object_unref(pixbuf);
    discard();
    return;
  }
  cairo_surface_t* picture = gdk_cairo_surface_create_from_pixbuf(pixbuf, scale, nullptr);
  g_object_unref(pixbuf);
  showPicture(picture);
  // The overlay sits on top of the live view rather than beside it in a
  // stack: an unmapped web view draws nothing, so its first frame would only
  // come after the swap.
  gtk_overlay_add_overlay(GTK_OVERLAY(overlay_), cover_);
  // The first allocation comes before the first frame is drawn.
  g_signal_connect(cover_, "size-allocate",
                   G_CALLBACK(+[](GtkWidget*, GdkRectangle* area, gpointer self) {
                     static_cast<SnapshotCover*>(self)->allocated(area->width, area->height);
                   }),
                   this);
}

void SnapshotCover::allocated(int width, int height) {
  // Only the first size counts: the user may resize the window later.
  if (std::exchange(sized_, true)) return;
  double sx = 1, sy = 1;
  cairo_surface_get_device_scale(picture_, &sx, &sy);
  const int scale = static_cast<int>(sx);
  const int w = cairo_image_surface_get_width(picture_);
  const int h = cairo_image_surface_get_height(picture_);
  if (Snapshot::fits(Settings::server().str(), Settings::server(), w, h, width, height, scale))
    return;
  uncover();
  discard();
}

void SnapshotCover::discard() {
  std::error_code ec;
  std::filesystem::remove(path_, ec);
}

SnapshotCover::~SnapshotCover() {
  // Pending calls answer with "cancelled" and leave this object alone; the
  // widgets went with the window.
  g_cancellable_cancel(cancellable_.get());
}

void SnapshotCover::showPicture(cairo_surface_t* picture) {
  GtkWidget* area = gtk_drawing_area_new();
  picture_ = picture;
  g_object_set_data_full(G_OBJECT(area), "picture", picture,
                         reinterpret_cast<GDestroyNotify>(cairo_surface_destroy));
  // The picture travels with the widget, which goes before the cover object.
  g_signal_connect(area, "draw", G_CALLBACK(+[](GtkWidget* w, cairo_t* cr, gpointer self) {
                     auto* p =
                         static_cast<cairo_surface_t*>(g_object_get_data(G_OBJECT(w), "picture"));
                     if (!p) return FALSE;
                     BenchMarks::mark("cover-shown");
                     static_cast<SnapshotCover*>(self)->shown();
                     cairo_set_source_surface(cr, p, 0, 0);
                     cairo_paint(cr);
                     // Slightly faded: the page shown is not yet the live one.
                     cairo_set_source_rgba(cr, 1, 1, 1, 0.3);
                     cairo_paint(cr);
                     return FALSE;
                   }),
                   this);
  GtkWidget* note = LabelStyle::label("Обновляется…", 12);
  GtkStyleContext* style = gtk_widget_get_style_context(note);
  gtk_style_context_add_class(style, "osd");
  GtkCssProvider* css = gtk_css_provider_new();
  gtk_css_provider_load_from_data(css, "label { padding: 3px 12px; border-radius: 11px; }", -1,
                                  nullptr);
  gtk_style_context_add_provider(style, GTK_STYLE_PROVIDER(css),
                                 GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(css);
  gtk_widget_set_halign(note, GTK_ALIGN_CENTER);
  gtk_widget_set_valign(note, GTK_ALIGN_START);
  gtk_widget_set_margin_top(note, 12);
  cover_ = gtk_overlay_new();
  gtk_container_add(GTK_CONTAINER(cover_), area);
  gtk_overlay_add_overlay(GTK_OVERLAY(cover_), note);
  gtk_widget_show_all(cover_);
}

void SnapshotCover::uncover() {
  paintLimit_.cancel();
  // The picture's memory goes with it.
  picture_ = nullptr;
  if (GtkWidget* c = std::exchange(cover_, nullptr)) gtk_widget_destroy(c);
  // A picture taken away before it was drawn lets the start go on.
  shown();
}

void SnapshotCover::pageCommitted() {
  // The benchmark times the first painted page with or without a cover.
  if (!cover_ && !BenchMarks::pending("first-frame")) return;
  if (cover_) paintLimit_ = Clock::main().schedule(kPaintLimit, [this] { uncover(); });
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
          static_cast<SnapshotCover*>(self)->uncover();
        }
      },
      this);
}

void SnapshotCover::save(std::function<void()> done) {
  auto saving = std::make_shared<Saving>();
  saving->server = Settings::server().str();
  saving->path = file(Settings::server());
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

void SnapshotCover::forget() {
  std::error_code ec;
  std::filesystem::remove(file(Settings::server()), ec);
}

std::filesystem::path SnapshotCover::file(const Url& server) {
  return std::filesystem::path(g_get_user_cache_dir()) / "vuko" / Snapshot::fileName(server);
}

}  // namespace vuko
