// The page shown in the main window when the task server cannot be reached.
#pragma once

#include <optional>
#include <string>

namespace vuko {

// reason: a Russian message (only "<" is escaped, so it shows literally);
// server: the address the user tried, shown as text (HTML-escaped) in a code
// element; retryIn: the seconds until the next automatic retry, counted down
// on the page (none: no automatic retry is planned).
std::string offlinePage(const std::string& reason, const std::string& server,
                        std::optional<int> retryIn = std::nullopt);

}  // namespace vuko
