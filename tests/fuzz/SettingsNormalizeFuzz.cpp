// Addresses the user types for the task server.
#include <cstdint>
#include <string>

#include "Check.h"
#include "server/Settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string typed(reinterpret_cast<const char*>(data), size);
  auto url = vuko::Settings::normalize(typed);
  if (!url) return 0;
  const std::string scheme = url->scheme();
  FUZZ_CHECK(scheme == "http" || scheme == "https", "normalised addresses are http(s)");
  FUZZ_CHECK(url->host() && !url->host()->empty(), "normalised addresses have a host");
  const std::string text = url->str();
  FUZZ_CHECK(text.rfind(scheme + "://", 0) == 0, "normalised addresses are absolute");
  auto again = vuko::Settings::normalize(text);
  FUZZ_CHECK(again.has_value(), "a normalised address is accepted again");
  FUZZ_CHECK(again->str() == text, "normalising is idempotent");
  return 0;
}
