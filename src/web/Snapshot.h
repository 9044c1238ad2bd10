// The last picture of the main page, kept per server so that the next start
// has something to show before the page itself has painted: which pages are
// worth keeping, where the picture lives and whether it may be shown.
#pragma once

#include <optional>
#include <string>

#include "platform/Url.h"

namespace vuko::Snapshot {

// The picture's file name for a server (one per scheme, host and port).
std::string fileName(const Url& server);

// What becomes of the server's picture when the window hides or the client
// quits: only a loaded page of the server in use is kept (neither the
// offline page nor the sign-in page); after a sign-out the old picture goes,
// as it shows what the signed-out user left behind.
enum class Keeping { save, leave, forget };
Keeping onLeave(const std::optional<Url>& page, bool offline, bool loading);

// Whether a stored picture may stand in for the page: it was taken of the
// server in use (storedServer: the address saved with it) and it covers the
// window, whose size is in logical pixels, exactly at the screen's scale.
bool fits(const std::string& storedServer, const Url& server, int imageWidth, int imageHeight,
          int windowWidth, int windowHeight, int scale);

}  // namespace vuko::Snapshot
