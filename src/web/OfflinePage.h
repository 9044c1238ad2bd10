// The page shown in the main window when the task server cannot be reached.
#pragma once

#include <string>

namespace vuko {

// reason: a Russian message (only "<" is escaped, so it shows literally);
// server: the address the user tried, shown as text (HTML-escaped) in a code
// element.
std::string offlinePage(const std::string& reason, const std::string& server);

}  // namespace vuko
