// The demo account and its tasks.
#pragma once

#include <cstdint>

#include "devserver/Store.h"

namespace vuko::dev {

inline constexpr const char* kDemoEmail = "demo@vuko.local";
inline constexpr const char* kDemoPassword = "demo";

// Creates the demo account when it is missing and replaces the tasks an
// earlier seeding made with fresh ones around `now` (tasks the user added
// stay). Runs in one transaction.
void seedDemo(Store& store, std::int64_t now);

}  // namespace vuko::dev
