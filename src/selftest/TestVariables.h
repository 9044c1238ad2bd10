// The VUKO_TEST_* environment variables: what a test run changes in the
// product, and the self-test run's blocks. They are read once at start, here
// and nowhere else, and handed down by the wiring; reading them is kept apart
// from the run so that the rules for malformed values can be checked without
// a display.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace vuko {

struct TestVariables {
  struct Login {
    std::string email, password;
  };

  // Report and snapshots go here; the run happens only when it is set.
  std::string dir;
  // Address of an own server to probe and switch to.
  std::optional<std::string> switchServer;
  // The signed-in block runs whenever VUKO_TEST_LOGIN is set.
  bool signedInBlock = false;
  // Account to sign in with ("e-mail:password", split at the first ":");
  // none when the value has no ":", and then the sign-in script is skipped.
  std::optional<Login> login;
  // The reminder block runs only for exactly "1".
  bool notify = false;
  // Seconds the main window stays hidden.
  std::optional<double> hiddenSeconds;
  // Any value opens the identity provider's page.
  bool authNav = false;

  // None when VUKO_TEST_DIR is not set. lookup answers like getenv.
  static std::optional<TestVariables> read(const std::function<const char*(const char*)>& lookup);
};

struct RunConfig {
  // VUKO_TEST_DIR is set: web data, pending notifications and the reminder
  // maps are kept in memory, so a test run leaves the user's files alone.
  bool inMemory = false;
  // VUKO_TEST_SERVER: the server used instead of the stored one.
  std::optional<std::string> server;
  // The self-test run, when VUKO_TEST_DIR is set.
  std::optional<TestVariables> selfTest;

  // lookup answers like getenv.
  static RunConfig read(const std::function<const char*(const char*)>& lookup);
  static RunConfig fromEnvironment();
};

// A number of seconds written as a decimal number: the whole text must be
// the number, and it must be finite and not negative.
std::optional<double> parseSeconds(const std::string& text);

}  // namespace vuko
