#include "platform/Defaults.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>

#include <glib.h>

namespace vuko {

namespace {

std::shared_ptr<Defaults>& standardStore() {
  static std::shared_ptr<Defaults> d;
  return d;
}

bool isTagged(const Defaults::Json& v, const char* tag) {
  return v.is_object() && v.size() == 1 && v.contains(tag) && v[tag].is_string();
}

std::string isoDate(Defaults::Date t) {
  auto us = std::chrono::duration_cast<std::chrono::microseconds>(t.time_since_epoch()).count();
  auto secs = us / 1'000'000, rest = us % 1'000'000;
  if (rest < 0) secs -= 1, rest += 1'000'000;
  GDateTime* base = g_date_time_new_from_unix_utc(secs);
  if (!base) return {};
  GDateTime* dt = g_date_time_add(base, rest);
  g_date_time_unref(base);
  if (!dt) return {};
  gchar* s = g_date_time_format_iso8601(dt);
  std::string out = s ? s : "";
  g_free(s);
  g_date_time_unref(dt);
  return out;
}

}  // namespace

Defaults& Defaults::standard() {
  auto& d = standardStore();
  if (!d) d = std::make_shared<FileDefaults>(FileDefaults::defaultFile());
  return *d;
}

void Defaults::setStandard(std::shared_ptr<Defaults> d) {
  standardStore() = std::move(d);
}

std::optional<std::string> Defaults::string(const std::string& key) const {
  auto v = value(key);
  if (v && v->is_string()) return v->get<std::string>();
  return std::nullopt;
}

std::optional<bool> Defaults::boolean(const std::string& key) const {
  auto v = value(key);
  if (v && v->is_boolean()) return v->get<bool>();
  return std::nullopt;
}

std::optional<double> Defaults::number(const std::string& key) const {
  auto v = value(key);
  if (v && v->is_number()) return v->get<double>();
  return std::nullopt;
}

std::optional<std::vector<std::string>> Defaults::stringArray(const std::string& key) const {
  auto v = value(key);
  if (!v || !v->is_array()) return std::nullopt;
  std::vector<std::string> out;
  for (const auto& e : *v) {
    if (!e.is_string()) return std::nullopt;
    out.push_back(e.get<std::string>());
  }
  return out;
}

std::optional<Defaults::Json> Defaults::array(const std::string& key) const {
  auto v = value(key);
  if (v && v->is_array()) return v;
  return std::nullopt;
}

std::optional<Defaults::Json> Defaults::dictionary(const std::string& key) const {
  auto v = value(key);
  if (v && v->is_object() && !isTagged(*v, "$data") && !isTagged(*v, "$date")) return v;
  return std::nullopt;
}

std::optional<Defaults::Bytes> Defaults::data(const std::string& key) const {
  auto v = value(key);
  if (!v || !isTagged(*v, "$data")) return std::nullopt;
  auto text = (*v)["$data"].get<std::string>();
  gsize len = 0;
  guchar* raw = g_base64_decode(text.c_str(), &len);
  Bytes out(raw, raw + len);
  g_free(raw);
  return out;
}

std::optional<Defaults::Date> Defaults::date(const std::string& key) const {
  auto v = value(key);
  if (!v || !isTagged(*v, "$date")) return std::nullopt;
  GDateTime* dt = g_date_time_new_from_iso8601((*v)["$date"].get<std::string>().c_str(), nullptr);
  if (!dt) return std::nullopt;
  auto us = g_date_time_to_unix(dt) * 1'000'000 + g_date_time_get_microsecond(dt);
  g_date_time_unref(dt);
  return Date(std::chrono::duration_cast<Date::duration>(std::chrono::microseconds(us)));
}

void Defaults::setArray(const std::string& key, Json v) {
  setValue(key, v.is_array() ? std::move(v) : Json::array());
}

void Defaults::setDictionary(const std::string& key, Json v) {
  setValue(key, v.is_object() ? std::move(v) : Json::object());
}

void Defaults::setData(const std::string& key, const Bytes& v) {
  gchar* text = g_base64_encode(v.data(), v.size());
  setValue(key, Json{{"$data", text}});
  g_free(text);
}

void Defaults::setDate(const std::string& key, Date v) {
  setValue(key, Json{{"$date", isoDate(v)}});
}

std::optional<Defaults::Json> MemoryDefaults::value(const std::string& key) const {
  auto it = values_.find(key);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

void MemoryDefaults::setValue(const std::string& key, Json value) {
  values_[key] = std::move(value);
}

void MemoryDefaults::remove(const std::string& key) {
  values_.erase(key);
}

FileDefaults::FileDefaults(std::filesystem::path file) : file_(std::move(file)) {
  load();
}

std::filesystem::path FileDefaults::defaultFile() {
  return std::filesystem::path(g_get_user_config_dir()) / "vuko" / "defaults.json";
}

void FileDefaults::load() {
  std::error_code ec;
  if (!std::filesystem::exists(file_, ec)) return;
  std::ifstream in(file_, std::ios::binary);
  std::stringstream text;
  if (in) text << in.rdbuf();
  Json parsed = Json::parse(text.str(), nullptr, /*allow_exceptions=*/false);
  if (in && parsed.is_object()) {
    for (auto& [k, v] : parsed.items()) values_[k] = v;
    return;
  }
  // Keep the unreadable file for the user; the next save must not replace it.
  auto stamp = std::to_string(std::time(nullptr));
  auto aside = file_;
  aside += ".corrupt-" + stamp;
  for (int n = 2; std::filesystem::exists(aside, ec); ++n) {
    aside = file_;
    aside += ".corrupt-" + stamp + "-" + std::to_string(n);
  }
  std::filesystem::rename(file_, aside, ec);
  if (ec)
    unmovable_ = true;
  else
    setAside_ = aside;
}

void FileDefaults::setValue(const std::string& key, Json value) {
  MemoryDefaults::setValue(key, std::move(value));
  save();
}

void FileDefaults::remove(const std::string& key) {
  MemoryDefaults::remove(key);
  save();
}

void FileDefaults::save() {
  saved_ = false;
  if (auto failure = write()) {
    // The value stays in memory for this run; the user at least gets a trace.
    g_warning("Settings not saved to %s: %s", file_.c_str(), failure->c_str());
    return;
  }
  saved_ = true;
}

std::optional<std::string> FileDefaults::write() {
  std::error_code ec;
  std::filesystem::create_directories(file_.parent_path(), ec);
  // A corrupt file that could not be moved aside stays where it is: writing
  // over it would lose what the user may still recover.
  if (unmovable_) return "the unreadable settings file could not be moved aside";
  Json out = Json::object();
  for (const auto& [k, v] : values_) out[k] = v;
  std::string text = out.dump(2, ' ', false, Json::error_handler_t::replace);
  text += '\n';
  auto tmp = file_;
  tmp += ".tmp";
  auto failed = [&tmp](int code) {
    ::unlink(tmp.c_str());
    return std::string(g_strerror(code));
  };
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return std::string(g_strerror(errno));
  const char* p = text.data();
  size_t left = text.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      int code = errno;
      ::close(fd);
      return failed(code);
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  if (::fsync(fd) != 0) {
    int code = errno;
    ::close(fd);
    return failed(code);
  }
  if (::close(fd) != 0 || ::rename(tmp.c_str(), file_.c_str()) != 0) return failed(errno);
  return std::nullopt;
}

}  // namespace vuko
