// Window frames kept in the defaults store under an autosave name, so a window
// comes back where the user left it.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <string>

namespace vuko::WindowFrame {

// Restores the frame saved under name and returns true; false when none is
// saved (or it no longer fits any monitor), leaving placement to the caller.
bool restore(GtkWindow* window, const std::string& name);

// Saves the frame under name whenever the window is moved or resized.
void keep(GtkWindow* window, const std::string& name);

// The work area of the primary monitor (or the first one).
GdkRectangle workArea();

}  // namespace vuko::WindowFrame
