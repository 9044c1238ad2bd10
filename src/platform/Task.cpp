#include "platform/Task.h"

#include <glib.h>

#include <stdexcept>

namespace vuko::detail {

void reportDetachedFailure(const std::exception_ptr& error) noexcept {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    g_warning("Background work failed: %s", e.what());
  } catch (...) {
    g_warning("Background work failed with an unknown error");
  }
}

}  // namespace vuko::detail
