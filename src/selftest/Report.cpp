#include "selftest/Report.h"

#include <fcntl.h>
#include <glib.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <ctime>

namespace vuko {

Report::Report(std::filesystem::path dir) : dir_(std::move(dir)) {
  std::error_code ec;
  std::filesystem::create_directories(dir_, ec);
}

void Report::note(const std::string& line) {
  lines_.push_back(ReportText::validUtf8(line));
  write();
}

void Report::write() const {
  std::string text;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (i) text += '\n';
    text += lines_[i];
  }
  auto target = file();
  auto tmp = dir_ / ".report.txt.tmp";
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return;
  const char* p = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      ::unlink(tmp.c_str());
      return;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  bool ok = ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (!ok || ::rename(tmp.c_str(), target.c_str()) != 0) ::unlink(tmp.c_str());
}

namespace ReportText {

std::string validUtf8(const std::string& text) {
  gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
  std::string out = valid;
  g_free(valid);
  return out;
}

std::string seconds(double value) {
  if (std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 1e15)
    return std::to_string(static_cast<long long>(value));
  char buf[64];
  auto [end, error] = std::to_chars(buf, buf + sizeof buf, value);
  if (error != std::errc()) return "-";
  return std::string(buf, end);
}

std::string result(const std::optional<nlohmann::json>& value, const std::string& missing) {
  if (!value) return missing;
  const auto& v = *value;
  if (v.is_string()) return v.get<std::string>();
  if (v.is_boolean()) return boolean(v.get<bool>());
  if (v.is_number_integer()) return v.dump();
  if (v.is_number()) return seconds(v.get<double>());
  return v.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

bool isTrue(const std::optional<nlohmann::json>& value) {
  return value && value->is_boolean() && value->get<bool>();
}

std::string list(const std::vector<std::string>& items) {
  if (items.empty()) return "-";
  std::string out;
  for (const auto& item : items) {
    if (!out.empty()) out += ", ";
    out += item;
  }
  return out;
}

std::string reminder(const TestReminder& item) {
  std::string out = "«" + item.title + "» ";
  if (!item.body.empty()) out += item.body + " ";
  std::time_t t = std::chrono::system_clock::to_time_t(item.due);
  std::tm local{};
  char buf[32] = "-";
  if (localtime_r(&t, &local)) std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M", &local);
  return out + "в " + buf;
}

}  // namespace ReportText
}  // namespace vuko
