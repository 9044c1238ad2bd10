#include "platform/BenchMarks.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

namespace vuko::BenchMarks {

namespace {

std::set<std::string>& marked() {
  static std::set<std::string> names;
  return names;
}

bool measuring() {
  static const bool on = std::getenv("VUKO_BENCH") != nullptr;
  return on;
}

}  // namespace

bool pending(const char* name) {
  return measuring() && !marked().contains(name);
}

void mark(const char* name) {
  if (!pending(name)) return;
  marked().insert(name);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::system_clock::now().time_since_epoch())
                      .count();
  std::fprintf(stderr, "bench %s %lld\n", name, static_cast<long long>(ms));
}

}  // namespace vuko::BenchMarks
