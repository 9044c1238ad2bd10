// The processes a test's programs start, read from /proc.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

namespace vuko::test {

struct ChildProcess {
  // The name as /proc gives it, cut to 15 characters ("WebKitWebProces").
  std::string name;
  // "Z" once it has ended and waits to be reaped.
  std::string state;
};

// The processes whose parent is pid.
inline std::vector<ChildProcess> childrenOf(int pid) {
  std::vector<ChildProcess> out;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator("/proc", ec)) {
    std::ifstream stat(e.path() / "stat");
    std::string line;
    // The name is in parentheses and may hold spaces: the fields after it
    // are read from the last ')'.
    if (!std::getline(stat, line)) continue;
    const auto open = line.find('('), close = line.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close + 4 > line.size())
      continue;
    if (std::atoi(line.c_str() + close + 4) != pid) continue;
    out.push_back({line.substr(open + 1, close - open - 1), line.substr(close + 2, 1)});
  }
  return out;
}

}  // namespace vuko::test
