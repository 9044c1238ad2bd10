// Where the window system's input focus is.
#pragma once

// The toolkit's window type, declared as the toolkit does, so that this header
// stays free of the toolkit's own.
typedef struct _GtkWindow GtkWindow;  // NOLINT(bugprone-reserved-identifier)

namespace vuko::WindowFocus {

// Whether the input focus is in the window. During a hot-key press the
// keyboard is grabbed and the toolkit counts every window as unfocused until
// the key is released, while the focus itself stays where the user sees it;
// so on X11 the server is asked.
bool has(GtkWindow* window);

}  // namespace vuko::WindowFocus
