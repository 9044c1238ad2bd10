// The user's sentence for a failed transfer. It names the cause, since it is
// shown after "Не удалось подключиться: " and on its own alike.
#pragma once

#include <string>

#include "platform/Http.h"

namespace vuko {

std::string networkFailureText(TransportError::Kind kind);

}  // namespace vuko
