// A borderless floating panel that still takes the keyboard focus: it floats
// above other windows on the current workspace, stays up when the client
// loses the focus, moves when its background is dragged and reports Escape.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <functional>

namespace vuko {

class KeyPanel {
 public:
  KeyPanel(int width, int height);
  ~KeyPanel();
  KeyPanel(const KeyPanel&) = delete;
  KeyPanel& operator=(const KeyPanel&) = delete;

  GtkWindow* window() const { return GTK_WINDOW(window_); }
  bool isVisible() const;
  // Places the panel on the monitor under the pointer, centred horizontally,
  // its centre a third of the work area's height below the area's top, and
  // shows it with the focus. eventTime is the X server time of the user's
  // action (0 when unknown). Without any monitor it does nothing.
  void present(std::uint32_t eventTime);
  void orderOut();

  // Escape pressed while the panel has the focus.
  std::function<void()> onEscape;

 private:
  static gboolean keyPressed(GtkWidget*, GdkEventKey* event, gpointer self);
  static gboolean buttonPressed(GtkWidget*, GdkEventButton* event, gpointer self);
  static void screenChanged(GtkWidget* widget, GdkScreen*, gpointer);
  std::uint32_t focusTime(std::uint32_t eventTime) const;

  GtkWidget* window_ = nullptr;
  int width_, height_;
  bool layered_ = false;
};

}  // namespace vuko
