#include "web/gtk/MainWindow.h"

#include "app/MenuTable.h"
#include "platform/gtk/WindowFrame.h"

namespace vuko {

namespace {

constexpr int kWidth = 1280, kHeight = 820;
constexpr int kMinWidth = 420, kMinHeight = 520;

}  // namespace

MainWindow MainWindow::make(bool showPicture) {
  MainWindow made;
  made.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  auto* window = GTK_WINDOW(made.window);
  gtk_window_set_title(window, "Vuko");
  gtk_window_set_default_size(window, kWidth, kHeight);
  GdkGeometry geometry{};
  geometry.min_width = kMinWidth;
  geometry.min_height = kMinHeight;
  gtk_window_set_geometry_hints(window, nullptr, &geometry, GDK_HINT_MIN_SIZE);
  if (!WindowFrame::restore(window, "VukoMainWindow"))
    gtk_window_set_position(window, GTK_WIN_POS_CENTER);
  WindowFrame::keep(window, "VukoMainWindow");
  // Closing hides: the page, hot keys and reminders live on.
  // No data: only the window itself is touched.
  g_signal_connect(made.window, "delete-event", G_CALLBACK(+[](GtkWidget* w, GdkEvent*, gpointer) {
                     gtk_widget_hide(w);
                     return TRUE;
                   }),
                   nullptr);
  // The menu bar's titles hold its place until the client's menus take it,
  // so that the picture has the size of the page under it.
  GtkWidget* frame = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  g_object_set_data(G_OBJECT(frame), kMenuFrame, frame);
  GtkWidget* bar = gtk_menu_bar_new();
  for (const auto& menu : menus::mainMenu())
    gtk_menu_shell_append(GTK_MENU_SHELL(bar), gtk_menu_item_new_with_label(menu.title.c_str()));
  gtk_box_pack_start(GTK_BOX(frame), bar, FALSE, FALSE, 0);
  gtk_widget_show_all(frame);
  gtk_container_add(GTK_CONTAINER(window), frame);
  made.cover = std::make_unique<PictureCover>(GTK_BOX(frame), window, showPicture);
  return made;
}

}  // namespace vuko
