#include "reminders/gtk/BannerWindow.h"

#include <canberra.h>
#include <gmodule.h>
#include <gtk/gtk.h>

#include <algorithm>

#include "platform/WindowLayer.h"

namespace vuko {

namespace {

constexpr int bannerWidth = 340;
constexpr int minHeight = 64;
constexpr double fadeSeconds = 0.2;

const char* css = R"(
.vuko-banner { background-color: rgba(246, 246, 246, 0.94); border-radius: 14px;
               border: 1px solid rgba(0, 0, 0, 0.12); }
.vuko-banner .title { font-weight: bold; font-size: 13px; }
.vuko-banner .body { font-size: 12px; color: alpha(currentColor, 0.65); }
.vuko-banner .cross { font-size: 11px; padding: 0 4px; min-height: 0; min-width: 0; }
.vuko-banner .action { font-size: 11px; padding: 2px 8px; min-height: 0; }
window.vuko-banner-window { background-color: transparent; }
)";

void installCss() {
  static bool done = false;
  if (done) return;
  done = true;
  GtkCssProvider* provider = gtk_css_provider_new();
  gtk_css_provider_load_from_data(provider, css, -1, nullptr);
  gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(provider),
                                            GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(provider);
}

std::optional<WorkArea> primaryArea() {
  GdkDisplay* display = gdk_display_get_default();
  if (!display) return std::nullopt;
  GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
  if (!monitor) monitor = gdk_display_get_monitor(display, 0);
  if (!monitor) return std::nullopt;
  GdkRectangle r;
  gdk_monitor_get_workarea(monitor, &r);
  return WorkArea{r.x, r.y, r.width, r.height};
}

class GtkBannerView final : public BannerView {
 public:
  explicit GtkBannerView(const BannerContent& c) {
    installCss();
    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    auto* w = GTK_WINDOW(window_);
    gtk_window_set_title(w, c.title.c_str());
    gtk_window_set_decorated(w, FALSE);
    gtk_window_set_resizable(w, FALSE);
    gtk_window_set_type_hint(w, GDK_WINDOW_TYPE_HINT_NOTIFICATION);
    gtk_window_set_accept_focus(w, FALSE);
    gtk_window_set_focus_on_map(w, FALSE);
    gtk_window_set_keep_above(w, TRUE);
    gtk_window_stick(w);
    gtk_window_set_skip_taskbar_hint(w, TRUE);
    gtk_window_set_skip_pager_hint(w, TRUE);
    // On Wayland, where the compositor allows, a surface above everything in
    // the screen's top-right corner; an ordinary window there goes wherever
    // the compositor puts it.
    layered_ = WindowLayer::makeFloating(w, "vuko-banner", WindowLayer::Level::overlay,
                                         WindowLayer::Keyboard::none, true);
    gtk_style_context_add_class(gtk_widget_get_style_context(window_), "vuko-banner-window");
    if (GdkVisual* rgba = gdk_screen_get_rgba_visual(gtk_widget_get_screen(window_)))
      gtk_widget_set_visual(window_, rgba);
    gtk_widget_set_app_paintable(window_, TRUE);

    // The whole background is one click target; buttons take their own clicks.
    GtkWidget* events = gtk_event_box_new();
    gtk_style_context_add_class(gtk_widget_get_style_context(events), "vuko-banner");
    // The view destroys the window, and this handler with it.
    g_signal_connect(events, "button-release-event",
                     G_CALLBACK(+[](GtkWidget*, GdkEventButton* e, gpointer self) -> gboolean {
                       if (e->button == 1) static_cast<GtkBannerView*>(self)->input("open");
                       return TRUE;
                     }),
                     this);
    gtk_container_add(GTK_CONTAINER(window_), events);

    GtkWidget* grid = gtk_grid_new();
    gtk_widget_set_margin_start(grid, 12);
    gtk_widget_set_margin_end(grid, 8);
    gtk_widget_set_margin_top(grid, 8);
    gtk_widget_set_margin_bottom(grid, 10);
    gtk_grid_set_column_spacing(GTK_GRID(grid), 10);
    gtk_container_add(GTK_CONTAINER(events), grid);

    GtkWidget* icon = gtk_image_new_from_icon_name("vuko", GTK_ICON_SIZE_DND);
    gtk_image_set_pixel_size(GTK_IMAGE(icon), 36);
    gtk_widget_set_size_request(icon, 36, 36);
    gtk_widget_set_valign(icon, GTK_ALIGN_START);
    gtk_widget_set_margin_top(icon, 4);
    gtk_grid_attach(GTK_GRID(grid), icon, 0, 0, 1, 3);

    GtkWidget* title = label(c.title, "title");
    gtk_label_set_ellipsize(GTK_LABEL(title), PANGO_ELLIPSIZE_END);
    gtk_widget_set_hexpand(title, TRUE);
    gtk_widget_set_margin_top(title, 3);
    gtk_grid_attach(GTK_GRID(grid), title, 1, 0, 1, 1);

    GtkWidget* cross = gtk_button_new_with_label("✕");
    gtk_button_set_relief(GTK_BUTTON(cross), GTK_RELIEF_NONE);
    gtk_style_context_add_class(gtk_widget_get_style_context(cross), "cross");
    gtk_widget_set_can_focus(cross, FALSE);
    gtk_widget_set_valign(cross, GTK_ALIGN_START);
    connect(cross, nullptr);
    gtk_grid_attach(GTK_GRID(grid), cross, 2, 0, 1, 1);

    GtkWidget* body = label(c.body, "body");
    gtk_label_set_line_wrap(GTK_LABEL(body), TRUE);
    gtk_label_set_line_wrap_mode(GTK_LABEL(body), PANGO_WRAP_WORD_CHAR);
    gtk_label_set_lines(GTK_LABEL(body), 2);
    gtk_label_set_ellipsize(GTK_LABEL(body), PANGO_ELLIPSIZE_END);
    gtk_label_set_max_width_chars(GTK_LABEL(body), 1);
    gtk_widget_set_margin_top(body, 2);
    gtk_widget_set_margin_end(body, 4);
    gtk_grid_attach(GTK_GRID(grid), body, 1, 1, 2, 1);

    if (c.buttons) {
      GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
      gtk_widget_set_margin_top(row, 6);
      for (auto [text, action] :
           {std::pair{"Готово", "vuko.done"}, std::pair{"Отложить на 10 мин", "vuko.snooze"}}) {
        GtkWidget* b = gtk_button_new_with_label(text);
        gtk_style_context_add_class(gtk_widget_get_style_context(b), "action");
        gtk_widget_set_can_focus(b, FALSE);
        connect(b, action);
        gtk_box_pack_start(GTK_BOX(row), b, FALSE, FALSE, 0);
      }
      gtk_grid_attach(GTK_GRID(grid), row, 1, 2, 2, 1);
    }

    gtk_widget_show_all(events);
    int natural = 0;
    gtk_widget_get_preferred_height_for_width(events, bannerWidth, nullptr, &natural);
    height_ = std::max(natural, minHeight);
    gtk_widget_set_size_request(window_, bannerWidth, height_);
    gtk_window_resize(w, bannerWidth, height_);
  }

  ~GtkBannerView() override {
    if (tick_) gtk_widget_remove_tick_callback(window_, tick_);
    gtk_widget_destroy(window_);
  }

  int width() const override { return bannerWidth; }
  int height() const override { return height_; }
  void moveTo(int x, int y) override {
    if (!layered_) return gtk_window_move(GTK_WINDOW(window_), x, y);
    // A layer surface keeps its distance from the corner instead.
    if (auto area = primaryArea())
      WindowLayer::place(GTK_WINDOW(window_), y - area->y, area->x + area->width - x - bannerWidth);
  }

  void appear() override {
    gtk_widget_set_opacity(window_, 0);
    gtk_widget_show(window_);
    start_ = 0;
    if (tick_) gtk_widget_remove_tick_callback(window_, tick_);
    tick_ = gtk_widget_add_tick_callback(
        window_,
        [](GtkWidget* w, GdkFrameClock* clock, gpointer p) -> gboolean {
          auto* self = static_cast<GtkBannerView*>(p);
          gint64 t = gdk_frame_clock_get_frame_time(clock);
          if (!self->start_) self->start_ = t;
          double k = static_cast<double>(t - self->start_) / (fadeSeconds * 1e6);
          gtk_widget_set_opacity(w, std::min(1.0, k));
          if (k < 1) return G_SOURCE_CONTINUE;
          self->tick_ = 0;
          return G_SOURCE_REMOVE;
        },
        this, nullptr);
  }

  void hide() override {
    if (tick_) gtk_widget_remove_tick_callback(window_, tick_);
    tick_ = 0;
    gtk_widget_hide(window_);
  }

  GtkWidget* window() const { return window_; }

 private:
  static GtkWidget* label(const std::string& text, const char* cls) {
    GtkWidget* l = gtk_label_new(text.c_str());
    gtk_label_set_xalign(GTK_LABEL(l), 0);
    gtk_style_context_add_class(gtk_widget_get_style_context(l), cls);
    return l;
  }

  void connect(GtkWidget* button, const char* action) {
    g_object_set_data(G_OBJECT(button), "vuko-action", const_cast<char*>(action));
    // The view destroys the window and its buttons, and this handler with them.
    g_signal_connect(button, "clicked", G_CALLBACK(+[](GtkButton* b, gpointer self) {
                       auto* a =
                           static_cast<const char*>(g_object_get_data(G_OBJECT(b), "vuko-action"));
                       static_cast<GtkBannerView*>(self)->input(a ? std::optional<std::string>(a)
                                                                  : std::nullopt);
                     }),
                     this);
  }

  void input(std::optional<std::string> action) {
    if (onInput) onInput(std::move(action));
  }

  GtkWidget* window_ = nullptr;
  bool layered_ = false;
  int height_ = minHeight;
  guint tick_ = 0;
  gint64 start_ = 0;
};

}  // namespace

GtkWindow* bannerWindow(BannerView* view) {
  auto* v = dynamic_cast<GtkBannerView*>(view);
  return v ? GTK_WINDOW(v->window()) : nullptr;
}

// The sound library and its theme are loaded on the first sound: most
// banners come without one, and a library loaded costs memory all day.
struct GtkBannerHost::Sound {
  GModule* library = nullptr;
  ca_context* ctx = nullptr;
  int (*destroy)(ca_context*) = nullptr;
  int (*play)(ca_context*, uint32_t, ...) = nullptr;

  bool open() {
    if (ctx) return true;
    if (!library) library = g_module_open("libcanberra.so.0", G_MODULE_BIND_LAZY);
    int (*create)(ca_context**) = nullptr;
    if (!library || !g_module_symbol(library, "ca_context_create", (gpointer*)&create) ||
        !g_module_symbol(library, "ca_context_destroy", (gpointer*)&destroy) ||
        !g_module_symbol(library, "ca_context_play", (gpointer*)&play))
      return false;
    if (create(&ctx) != CA_SUCCESS) ctx = nullptr;
    return ctx != nullptr;
  }

  ~Sound() {
    if (ctx) destroy(ctx);
    if (library) g_module_close(library);
  }
};

GtkBannerHost::GtkBannerHost() : sound_(std::make_unique<Sound>()) {}
GtkBannerHost::~GtkBannerHost() = default;

std::unique_ptr<BannerView> GtkBannerHost::make(const BannerContent& content) {
  return std::make_unique<GtkBannerView>(content);
}

std::optional<WorkArea> GtkBannerHost::workArea() const {
  return primaryArea();
}

void GtkBannerHost::playSound() {
  // The sound theme's event for an arriving message; without a sound server
  // the call fails at once, which is no reason to tell anyone.
  // (Also when the library is missing.)
  if (sound_->open())
    sound_->play(sound_->ctx, 0, CA_PROP_EVENT_ID, "message-new-instant", CA_PROP_EVENT_DESCRIPTION,
                 "Glass", nullptr);
}

}  // namespace vuko
