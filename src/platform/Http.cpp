#include "platform/Http.h"

#include "platform/Clock.h"

#include <libsoup/soup.h>

#include <algorithm>
#include <memory>

namespace vuko {

namespace {

SoupSession* session() {
  // One session for the process, like the shared URL loader: connections are
  // kept alive between calls. No cache feature is added, so nothing is ever
  // answered from local data.
  static SoupSession* s = soup_session_new_with_options("user-agent", "VukoMac/1.0", nullptr);
  return s;
}

TransportError::Kind kindOf(const GError* e) {
  using K = TransportError::Kind;
  if (g_error_matches(e, G_IO_ERROR, G_IO_ERROR_CANCELLED)) return K::cancelled;
  if (g_error_matches(e, G_IO_ERROR, G_IO_ERROR_TIMED_OUT)) return K::timedOut;
  if (e->domain == G_RESOLVER_ERROR) return K::hostNotFound;
  if (g_error_matches(e, G_TLS_ERROR, G_TLS_ERROR_BAD_CERTIFICATE)) return K::certificate;
  if (e->domain == G_TLS_ERROR) return K::secureConnection;
  if (g_error_matches(e, G_IO_ERROR, G_IO_ERROR_CONNECTION_REFUSED)) return K::refused;
  if (g_error_matches(e, G_IO_ERROR, G_IO_ERROR_HOST_UNREACHABLE) ||
      g_error_matches(e, G_IO_ERROR, G_IO_ERROR_NETWORK_UNREACHABLE))
    return K::unreachable;
  if (g_error_matches(e, G_IO_ERROR, G_IO_ERROR_CONNECTION_CLOSED) ||
      g_error_matches(e, G_IO_ERROR, G_IO_ERROR_NOT_CONNECTED) ||
      g_error_matches(e, G_IO_ERROR, G_IO_ERROR_BROKEN_PIPE))
    return K::connectionLost;
  if (e->domain == SOUP_SESSION_ERROR) return K::notHttp;
  return K::other;
}

}  // namespace

TransportError::Kind networkErrorKind(std::uint32_t domain, int code) {
  GError e{domain, code, nullptr};
  return kindOf(&e);
}

namespace {

struct Outcome {
  GBytes* bytes = nullptr;
  GError* error = nullptr;
};

}  // namespace

Task<HttpResponse> Http::send(HttpRequest request, Lifetime::Guard guard) {
  SoupMessage* msg = soup_message_new(request.method.c_str(), request.url.c_str());
  if (!msg) throw TransportError(TransportError::Kind::badUrl, "invalid URL: " + request.url);
  std::unique_ptr<SoupMessage, decltype(&g_object_unref)> owned(msg, g_object_unref);

  SoupMessageHeaders* out = soup_message_get_request_headers(msg);
  for (const auto& [name, value] : request.headers)
    soup_message_headers_replace(out, name.c_str(), value.c_str());
  if (request.body) {
    GBytes* b = g_bytes_new(request.body->data(), request.body->size());
    const char* type = soup_message_headers_get_content_type(out, nullptr);
    soup_message_set_request_body_from_bytes(msg, type, b);
    g_bytes_unref(b);
  }
  GCancellable* cancellable = g_cancellable_new();
  std::unique_ptr<GCancellable, decltype(&g_object_unref)> ownedCancel(cancellable, g_object_unref);
  // The timeout covers the whole exchange, like a request timeout does. The
  // flag is declared before the timer, so the timer goes first.
  bool timedOut = false;
  Timer timeout = Clock::main().schedule(request.timeout, [cancellable, &timedOut] {
    timedOut = true;
    g_cancellable_cancel(cancellable);
  });
  std::size_t hook = guard ? guard.onEnd([cancellable] { g_cancellable_cancel(cancellable); }) : 0;

  Future<Outcome> done;
  auto* resolver = new Future<Outcome>::Resolver(done.resolver());
  soup_session_send_and_read_async(
      session(), msg, G_PRIORITY_DEFAULT, cancellable,
      [](GObject* src, GAsyncResult* res, gpointer p) {
        std::unique_ptr<Future<Outcome>::Resolver> r(static_cast<Future<Outcome>::Resolver*>(p));
        Outcome o;
        o.bytes = soup_session_send_and_read_finish(SOUP_SESSION(src), res, &o.error);
        (*r)(o);
      },
      resolver);
  Outcome o = co_await done;
  if (hook) guard.forget(hook);
  timeout.cancel();

  if (o.error) {
    // Our own timeout cancels the transfer; it is reported as the time-out.
    TransportError err = timedOut ? TransportError(TransportError::Kind::timedOut, "timed out")
                                  : TransportError(kindOf(o.error), o.error->message);
    g_error_free(o.error);
    if (o.bytes) g_bytes_unref(o.bytes);
    throw err;
  }
  HttpResponse response;
  response.status = static_cast<int>(soup_message_get_status(msg));
  SoupMessageHeadersIter it;
  soup_message_headers_iter_init(&it, soup_message_get_response_headers(msg));
  const char *name, *value;
  while (soup_message_headers_iter_next(&it, &name, &value)) {
    std::string key = name;
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    response.headers[key] = value;
  }
  if (o.bytes) {
    gsize len = 0;
    const char* data = static_cast<const char*>(g_bytes_get_data(o.bytes, &len));
    response.body.assign(data ? data : "", len);
    g_bytes_unref(o.bytes);
  }
  co_return response;
}

}  // namespace vuko
