// Collects the warnings and criticals GLib logs for one domain while it
// lives, so a test can assert that a failure was reported (or that none was).
#pragma once

#include <glib.h>

#include <string>
#include <vector>

namespace vuko::test {

class LogCapture {
 public:
  // nullptr: the client's own messages (no log domain).
  explicit LogCapture(const char* domain = nullptr) : domain_(domain) {
    id_ = g_log_set_handler(domain,
                            GLogLevelFlags(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_CRITICAL |
                                           G_LOG_FLAG_FATAL | G_LOG_FLAG_RECURSION),
                            &LogCapture::handle, this);
  }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;
  ~LogCapture() { g_log_remove_handler(domain_, id_); }

  std::vector<std::string> messages;

 private:
  static void handle(const gchar*, GLogLevelFlags, const gchar* message, gpointer self) {
    static_cast<LogCapture*>(self)->messages.emplace_back(message ? message : "");
  }
  const char* domain_;
  guint id_ = 0;
};

}  // namespace vuko::test
