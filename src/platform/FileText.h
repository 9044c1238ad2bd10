// The whole text of a file, none when it is missing or cannot be read.
#pragma once

#include <optional>
#include <string>

namespace vuko {

std::optional<std::string> fileText(const std::string& path);

}  // namespace vuko
