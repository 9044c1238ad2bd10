// Where the window system's input focus is.
#pragma once

#include <string>

// The toolkit's window type, declared as the toolkit does, so that this header
// stays free of the toolkit's own.
typedef struct _GtkWindow GtkWindow;  // NOLINT(bugprone-reserved-identifier)

namespace vuko::WindowFocus {

// Whether the input focus is in the window. During a hot-key press the
// keyboard is grabbed and the toolkit counts every window as unfocused until
// the key is released, while the focus itself stays where the user sees it;
// so on X11 the server is asked.
bool has(GtkWindow* window);

// The desktop's activation token of the request being handled: the next
// window the client presents asks for the focus with it (Wayland's
// xdg-activation). An empty token drops one left unused. X11 has no such
// token; there a startup id's time stamp serves.
void expectActivation(const std::string& token);

// Presents the window with the token the desktop handed out for it.
void present(GtkWindow* window, const std::string& token);

}  // namespace vuko::WindowFocus
