#include "web/gtk/PictureCover.h"

#include <string>
#include <system_error>

#include "platform/BenchMarks.h"
#include "platform/gtk/LabelStyle.h"
#include "server/Settings.h"
#include "web/Snapshot.h"

namespace vuko {

namespace {

constexpr int kLargest = 16384;

}  // namespace

PictureCover::PictureCover(GtkBox* place, GtkWindow* window, bool showNow) {
  GtkWidget* overlay = gtk_overlay_new();
  holder_ = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  gtk_container_add(GTK_CONTAINER(overlay), holder_);
  gtk_widget_show(holder_);
  gtk_box_pack_start(place, overlay, TRUE, TRUE, 0);
  gtk_widget_show(overlay);
  overlay_ = overlay;
  window_ = window;
  if (showNow) showStored();
}

void PictureCover::setView(GtkWidget* view) {
  if (view) gtk_box_pack_start(GTK_BOX(holder_), view, TRUE, TRUE, 0);
}

void PictureCover::shown() {
  // After the drawing, not inside it: what runs next may take a while.
  if (auto next = std::exchange(onShown_, nullptr)) Clock::main().defer(std::move(next));
}

void PictureCover::whenShown(std::function<void()> next) {
  if (drawn_ || !cover_) return next();
  onShown_ = std::move(next);
}

void PictureCover::coverAgain() {
  if (!cover_) showStored();
}

void PictureCover::showStored() {
  sized_ = false;
  drawn_ = false;
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
                     static_cast<PictureCover*>(self)->allocated(area->width, area->height);
                   }),
                   this);
}

void PictureCover::allocated(int width, int height) {
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

void PictureCover::discard() {
  std::error_code ec;
  std::filesystem::remove(path_, ec);
}

void PictureCover::showPicture(cairo_surface_t* picture) {
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
                     auto* cover = static_cast<PictureCover*>(self);
                     cover->drawn_ = true;
                     cover->shown();
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

void PictureCover::uncover() {
  limit_.cancel();
  // The picture's memory goes with it.
  picture_ = nullptr;
  if (GtkWidget* c = std::exchange(cover_, nullptr)) gtk_widget_destroy(c);
  // A picture taken away before it was drawn lets the start go on.
  shown();
}

void PictureCover::forget() {
  std::error_code ec;
  std::filesystem::remove(file(Settings::server()), ec);
}

std::filesystem::path PictureCover::file(const Url& server) {
  return std::filesystem::path(g_get_user_cache_dir()) / "vuko" / Snapshot::fileName(server);
}

PictureCover::~PictureCover() = default;

void PictureCover::uncoverWithin(Clock::Duration limit) {
  if (cover_) limit_ = Clock::main().schedule(limit, [this] { uncover(); });
}

}  // namespace vuko
