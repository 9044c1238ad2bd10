#include "platform/Url.h"

#include <glib.h>

namespace vuko {

std::optional<Url> Url::parse(const std::string& text) {
  GError* error = nullptr;
  GUri* uri = g_uri_parse(text.c_str(), G_URI_FLAGS_ENCODED, &error);
  if (!uri) {
    g_clear_error(&error);
    return std::nullopt;
  }
  Url u;
  u.text_ = text;
  u.scheme_ = text.substr(0, text.find(':'));
  if (const char* h = g_uri_get_host(uri); h && *h) u.host_ = h;
  if (int p = g_uri_get_port(uri); p >= 0) u.port_ = p;
  u.path_ = g_uri_get_path(uri);
  g_uri_unref(uri);
  return u;
}

std::optional<std::string> Url::lowerHost() const {
  if (!host_) return std::nullopt;
  gchar* lower = g_ascii_strdown(host_->c_str(), -1);
  std::string out = lower;
  g_free(lower);
  return out;
}

std::optional<int> Url::portUnlessDefault() const {
  gchar* scheme = g_ascii_strdown(scheme_.c_str(), -1);
  int standard = g_str_equal(scheme, "http") ? 80 : g_str_equal(scheme, "https") ? 443 : -1;
  g_free(scheme);
  if (port_ && *port_ == standard) return std::nullopt;
  return port_;
}

std::optional<std::string> Url::serverHost(const std::string& host) {
  if (host.empty()) return std::nullopt;
  if (g_hostname_is_ip_address(host.c_str())) {
    gchar* lower = g_ascii_strdown(host.c_str(), -1);
    std::string out = lower;
    g_free(lower);
    return out;
  }
  gchar* ascii = g_hostname_to_ascii(host.c_str());
  if (!ascii) return std::nullopt;
  gchar* lower = g_ascii_strdown(ascii, -1);
  std::string name = lower;
  g_free(lower);
  g_free(ascii);
  // Labels of letters, digits, hyphens (not at either end) and underscores.
  if (name.size() > 253) return std::nullopt;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = name.find('.', start);
    std::string label = name.substr(start, end == std::string::npos ? end : end - start);
    if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-')
      return std::nullopt;
    for (char c : label)
      if (!g_ascii_isalnum(c) && c != '-' && c != '_') return std::nullopt;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return name;
}

std::optional<Url> Url::resolve(const std::string& ref) const {
  GError* error = nullptr;
  gchar* out = g_uri_resolve_relative(text_.c_str(), ref.c_str(), G_URI_FLAGS_ENCODED, &error);
  if (!out) {
    g_clear_error(&error);
    return std::nullopt;
  }
  auto u = parse(out);
  g_free(out);
  return u;
}

}  // namespace vuko
