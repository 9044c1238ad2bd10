// Windows that float above the others on Wayland: where the compositor
// offers the layer-shell protocol, a window becomes a surface of its own
// layer, anchored to the screen's edges, instead of an ordinary window the
// compositor frames and places (Wayland gives clients neither "keep above"
// nor positions). X11 windows are never touched here.
#pragma once

// The toolkit's window type, declared as the toolkit does, so that this header
// stays free of the toolkit's own.
typedef struct _GtkWindow GtkWindow;  // NOLINT(bugprone-reserved-identifier)

namespace vuko::WindowLayer {

// How the client's display treats floating windows: as X11 hints, as layer
// surfaces, or (a Wayland compositor without layer-shell) as ordinary
// windows whose level the desktop alone decides.
enum class Support { x11, layers, none };
Support support();

// Above ordinary windows, or above everything, full-screen windows too.
enum class Level { top, overlay };
// A surface that never takes the keyboard, or one that has it while the
// user works in it.
enum class Keyboard { none, onDemand };

// Makes a not yet realized window a layer surface anchored to the top edge
// of the screen (centred across it), or to its top-right corner. Where
// layers are unsupported it does nothing and says false.
bool makeFloating(GtkWindow* window, const char* name, Level level, Keyboard keyboard,
                  bool topRight);
bool isFloating(GtkWindow* window);
// A floating window's distance from the top edge and, anchored to the
// corner, from the right edge.
void place(GtkWindow* window, int top, int right = 0);

}  // namespace vuko::WindowLayer
