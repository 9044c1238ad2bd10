// Whole files: read at once, and replaced at once so that a crash leaves the
// old or the new one.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vuko {

// The whole text of a file, none when it is missing or cannot be read.
std::optional<std::string> fileText(const std::string& path);

// Writes a temporary file with the given mode, flushes it and renames it over
// the old one, making the folders it needs (mode 0700). The system's reason
// when it could not.
std::optional<std::string> replaceFile(const std::string& path, std::string_view contents,
                                       int mode);

}  // namespace vuko
