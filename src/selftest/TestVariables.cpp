#include "selftest/TestVariables.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace vuko {

std::optional<double> parseSeconds(const std::string& text) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  // A leading plus is a sign as good as a minus; from_chars only knows the latter.
  if (begin != end && *begin == '+') ++begin;
  if (begin == end) return std::nullopt;
  double value = 0;
  auto [stop, error] = std::from_chars(begin, end, value);
  if (error != std::errc() || stop != end) return std::nullopt;
  // An endless or negative wait would hang the run or mean nothing.
  if (!std::isfinite(value) || value < 0) return std::nullopt;
  return value;
}

std::optional<TestVariables> TestVariables::read(
    const std::function<const char*(const char*)>& lookup) {
  const char* dir = lookup("VUKO_TEST_DIR");
  if (!dir) return std::nullopt;
  TestVariables v;
  v.dir = dir;
  if (const char* s = lookup("VUKO_TEST_SWITCH")) v.switchServer = s;
  if (const char* s = lookup("VUKO_TEST_LOGIN")) {
    v.signedInBlock = true;
    std::string text = s;
    if (auto colon = text.find(':'); colon != std::string::npos)
      v.login = Login{text.substr(0, colon), text.substr(colon + 1)};
  }
  if (const char* s = lookup("VUKO_TEST_NOTIFY")) v.notify = std::string(s) == "1";
  if (const char* s = lookup("VUKO_TEST_HIDDEN")) v.hiddenSeconds = parseSeconds(s);
  v.authNav = lookup("VUKO_TEST_AUTHNAV") != nullptr;
  return v;
}

RunConfig RunConfig::read(const std::function<const char*(const char*)>& lookup) {
  RunConfig c;
  c.inMemory = lookup("VUKO_TEST_DIR") != nullptr;
  if (const char* s = lookup("VUKO_TEST_SERVER")) c.server = s;
  c.selfTest = TestVariables::read(lookup);
  return c;
}

RunConfig RunConfig::fromEnvironment() {
  return read([](const char* name) -> const char* { return std::getenv(name); });
}

}  // namespace vuko
