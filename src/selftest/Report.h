// The self-test report: one line per finding, kept on disk in full after
// every line so that a run that dies half-way still leaves what it found.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace vuko {

class Report {
 public:
  // Creates dir with its parents; a failure shows later as a missing file.
  explicit Report(std::filesystem::path dir);

  // Appends a line and rewrites "report.txt" with all lines joined by "\n":
  // written beside it and renamed over it, so a reader never sees a part.
  // Write errors are ignored; the lines stay in memory.
  void note(const std::string& line);

  const std::vector<std::string>& lines() const { return lines_; }
  const std::filesystem::path& dir() const { return dir_; }
  std::filesystem::path file() const { return dir_ / "report.txt"; }

 private:
  void write() const;
  std::filesystem::path dir_;
  std::vector<std::string> lines_;
};

// One reminder of the last poll, as the run lists it.
struct TestReminder {
  std::string id;
  std::string taskId;
  std::string title;
  std::string body;
  std::chrono::system_clock::time_point due;
};

namespace ReportText {

// The report is UTF-8: invalid bytes become U+FFFD.
std::string validUtf8(const std::string& text);

inline const char* boolean(bool b) {
  return b ? "true" : "false";
}

// A script result: strings as they are, booleans as "true"/"false", whole
// numbers without a fraction, other values as compact JSON; missing when the
// evaluation failed or gave nothing.
std::string result(const std::optional<nlohmann::json>& value, const std::string& missing);

// Whether a result is the boolean true (any other result, or none, is false).
bool isTrue(const std::optional<nlohmann::json>& value);

// Seconds in the shortest form that reads back the same ("5", "0.6").
std::string seconds(double value);

// Items joined by ", ", or "-" when there are none.
std::string list(const std::vector<std::string>& items);

// A reminder: «title» body в due (local "yyyy-MM-dd HH:mm"); no body, no blank.
std::string reminder(const TestReminder& item);

}  // namespace ReportText
}  // namespace vuko
