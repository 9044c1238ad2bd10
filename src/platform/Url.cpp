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
  if (const char* q = g_uri_get_query(uri)) u.query_ = q;
  if (const char* f = g_uri_get_fragment(uri)) u.fragment_ = f;
  g_uri_unref(uri);
  return u;
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
