// The main window as a start first shows it: its frame and the last page's
// picture, made before the engine so that the picture needs no engine.
#pragma once

#include <gtk/gtk.h>

#include <memory>

#include "web/gtk/PictureCover.h"

namespace vuko {

struct MainWindow {
  GtkWidget* window = nullptr;
  std::unique_ptr<PictureCover> cover;

  // Marks the window's child: a box whose first child holds the menu bar's
  // place.
  static constexpr const char* kMenuFrame = "vuko-menu-frame";

  // Without showPicture the picture is not even read: the window starts
  // hidden.
  static MainWindow make(bool showPicture);
};

}  // namespace vuko
