// The activation token of the request being answered, kept for the window
// that answers it: the desktop gives the focus to the window presented with
// it. Set around the request's action, taken by the window it presents.
#pragma once

#include <string>

namespace vuko::ActivationToken {

// Empty clears it.
void set(std::string token);
// The token, once: the next window presented must not reuse it.
std::string take();

}  // namespace vuko::ActivationToken
