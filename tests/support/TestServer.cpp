#include "support/TestServer.h"

#include <gio/gio.h>
#include <libsoup/soup.h>

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace vuko::test {

struct TestServer::Impl {
  SoupServer* server = nullptr;
  std::vector<SoupServerMessage*> held;
  // Connections that had a raw answer written and are kept open.
  std::vector<GIOStream*> rawHeld;
};

namespace {
void respond(SoupServerMessage* msg, const Reply& reply) {
  soup_server_message_set_status(msg, reply.status, nullptr);
  auto* out = soup_server_message_get_response_headers(msg);
  for (const auto& [k, v] : reply.headers) soup_message_headers_replace(out, k.c_str(), v.c_str());
  soup_server_message_set_response(msg, reply.contentType.c_str(), SOUP_MEMORY_COPY,
                                   reply.body.data(), reply.body.size());
}
}  // namespace

TestServer::TestServer(int port) : impl_(std::make_unique<Impl>()) {
  impl_->server = soup_server_new(nullptr, nullptr);
  soup_server_add_handler(
      impl_->server, nullptr,
      [](SoupServer*, SoupServerMessage* msg, const char* path, GHashTable*, gpointer self) {
        auto* s = static_cast<TestServer*>(self);
        Received r;
        r.method = soup_server_message_get_method(msg);
        GUri* uri = soup_server_message_get_uri(msg);
        r.path = path;
        if (const char* q = g_uri_get_query(uri)) r.path += std::string("?") + q;
        SoupMessageHeadersIter it;
        soup_message_headers_iter_init(&it, soup_server_message_get_request_headers(msg));
        const char *name, *value;
        while (soup_message_headers_iter_next(&it, &name, &value)) {
          std::string key = name;
          std::transform(key.begin(), key.end(), key.begin(), ::tolower);
          r.headers[key] = value;
        }
        SoupMessageBody* body = soup_server_message_get_request_body(msg);
        if (body && body->data) r.body.assign(body->data, body->length);
        s->received_.push_back(r);
        Reply reply;
        reply.status = 404;
        reply.body = R"({"detail":"not found"})";
        if (auto h = s->handlers_.find(path); h != s->handlers_.end()) reply = h->second(r);
        if (reply.raw) {
          GIOStream* io = soup_server_message_steal_connection(msg);
          g_output_stream_write_all(g_io_stream_get_output_stream(io), reply.raw->data(),
                                    reply.raw->size(), nullptr, nullptr, nullptr);
          if (reply.hold) {
            s->impl_->rawHeld.push_back(io);
            return;
          }
          g_io_stream_close(io, nullptr, nullptr);
          g_object_unref(io);
          return;
        }
        if (reply.hold) {
          g_object_ref(msg);
          soup_server_message_pause(msg);
          s->impl_->held.push_back(msg);
          return;
        }
        respond(msg, reply);
      },
      this, nullptr);
  GError* error = nullptr;
  if (!soup_server_listen_local(impl_->server, static_cast<guint>(port),
                                SOUP_SERVER_LISTEN_IPV4_ONLY, &error)) {
    std::string m = error ? error->message : "listen failed";
    g_clear_error(&error);
    throw std::runtime_error(m);
  }
  GSList* uris = soup_server_get_uris(impl_->server);
  port_ = g_uri_get_port(static_cast<GUri*>(uris->data));
  g_slist_free_full(uris, (GDestroyNotify)g_uri_unref);
}

TestServer::~TestServer() {
  for (GIOStream* io : impl_->rawHeld) g_object_unref(io);
  for (SoupServerMessage* msg : impl_->held) g_object_unref(msg);
  soup_server_disconnect(impl_->server);
  g_object_unref(impl_->server);
}

void TestServer::answerHeld(const Reply& reply) {
  for (GIOStream* io : std::exchange(impl_->rawHeld, {})) {
    g_io_stream_close(io, nullptr, nullptr);
    g_object_unref(io);
  }
  for (SoupServerMessage* msg : std::exchange(impl_->held, {})) {
    respond(msg, reply);
    soup_server_message_unpause(msg);
    g_object_unref(msg);
  }
}

size_t TestServer::heldCount() const {
  return impl_->held.size() + impl_->rawHeld.size();
}

void TestServer::handle(const std::string& path, Handler h) {
  handlers_[path] = std::move(h);
}

std::string TestServer::url() const {
  return "http://127.0.0.1:" + std::to_string(port_);
}

int TestServer::closedPort() {
  // Bind a port, then let it go: nothing listens there afterwards.
  GSocket* s =
      g_socket_new(G_SOCKET_FAMILY_IPV4, G_SOCKET_TYPE_STREAM, G_SOCKET_PROTOCOL_TCP, nullptr);
  GInetAddress* lo = g_inet_address_new_loopback(G_SOCKET_FAMILY_IPV4);
  GSocketAddress* addr = g_inet_socket_address_new(lo, 0);
  g_socket_bind(s, addr, FALSE, nullptr);
  GSocketAddress* bound = g_socket_get_local_address(s, nullptr);
  int port = g_inet_socket_address_get_port(G_INET_SOCKET_ADDRESS(bound));
  g_object_unref(bound);
  g_object_unref(addr);
  g_object_unref(lo);
  g_socket_close(s, nullptr);
  g_object_unref(s);
  return port;
}

}  // namespace vuko::test
