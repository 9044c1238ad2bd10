#include "devserver/DevServer.h"

#include <libsoup/soup.h>

#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "devserver/Api.h"
#include "devserver/Assets.h"
#include "devserver/Demo.h"
#include "devserver/Http.h"
#include "devserver/Store.h"

namespace vuko::dev {

namespace {

constexpr goffset kMaxBody = goffset{1024} * 1024;

const char* const kPages[] = {"/login",      "/today",    "/inbox",
                              "/week",       "/calendar", "/focus",
                              "/mini-focus", "/settings", "/settings/advanced"};

bool isPage(const std::string& path) {
  for (const char* p : kPages)
    if (path == p) return true;
  return path.rfind("/settings/", 0) == 0 && path.size() < 64;
}

std::int64_t systemNow() {
  using namespace std::chrono;
  return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

Response assetResponse(const Asset& a) {
  Response r;
  r.contentType = a.contentType;
  r.body.assign(reinterpret_cast<const char*>(a.data), a.size);
  r.headers.emplace_back("Cache-Control", "no-cache");
  return r;
}

void send(SoupServerMessage* msg, const Response& r) {
  SoupMessageHeaders* h = soup_server_message_get_response_headers(msg);
  for (const auto& [name, value] : r.headers)
    soup_message_headers_replace(h, name.c_str(), value.c_str());
  if (r.status == 401) soup_message_headers_replace(h, "WWW-Authenticate", "Bearer");
  // libsoup (3.2) ends a connection it was handed after one answer; saying so
  // keeps clients from sending a second request into a closed connection.
  soup_message_headers_replace(h, "Connection", "close");
  if (r.contentType == "application/json") {
    soup_message_headers_replace(h, "Cache-Control", "no-store");
    soup_server_message_set_response(msg, "application/json; charset=utf-8", SOUP_MEMORY_COPY,
                                     r.body.data(), r.body.size());
  } else {
    soup_server_message_set_response(msg, r.contentType.c_str(), SOUP_MEMORY_COPY, r.body.data(),
                                     r.body.size());
  }
  soup_server_message_set_status(msg, static_cast<guint>(r.status), nullptr);
}

// Connections are accepted here and handed to libsoup: its own listener (3.2)
// keeps every accepted socket object alive for good, a few hundred bytes a
// connection. The backlog takes a burst of a couple of hundred clients.
GSocketService* listenLocal(SoupServer* server, int& port, GError** error) {
  GSocketService* service = g_socket_service_new();
  g_socket_listener_set_backlog(G_SOCKET_LISTENER(service), 1024);
  GInetAddress* loopback = g_inet_address_new_loopback(G_SOCKET_FAMILY_IPV4);
  GSocketAddress* address = g_inet_socket_address_new(loopback, static_cast<guint16>(port));
  GSocketAddress* bound = nullptr;
  bool ok = g_socket_listener_add_address(G_SOCKET_LISTENER(service), address, G_SOCKET_TYPE_STREAM,
                                          G_SOCKET_PROTOCOL_TCP, nullptr, &bound, error);
  g_object_unref(address);
  g_object_unref(loopback);
  if (!ok) {
    g_object_unref(service);
    return nullptr;
  }
  port = g_inet_socket_address_get_port(G_INET_SOCKET_ADDRESS(bound));
  g_object_unref(bound);
  g_signal_connect(
      service, "incoming",
      G_CALLBACK(
          +[](GSocketService*, GSocketConnection* connection, GObject*, gpointer soup) -> gboolean {
            GSocketAddress* local = g_socket_connection_get_local_address(connection, nullptr);
            GSocketAddress* remote = g_socket_connection_get_remote_address(connection, nullptr);
            soup_server_accept_iostream(SOUP_SERVER(soup), G_IO_STREAM(connection), local, remote,
                                        nullptr);
            if (local) g_object_unref(local);
            if (remote) g_object_unref(remote);
            return TRUE;
          }),
      server);
  g_socket_service_start(service);
  return service;
}

Response tooLarge() {
  return Response::error(413, "Слишком большое тело запроса (больше 1 МБ)");
}

// A connection taken from libsoup to answer 413 without reading the body.
// After the answer the write side is shut, and what the client still sends is
// read and dropped for a short while, so that closing does not reset the
// connection before the client has read the answer.
struct Refusal {
  static constexpr gsize kDrainBytes = gsize{8} * 1024 * 1024;
  static constexpr guint kDrainSeconds = 5;

  GIOStream* stream = nullptr;
  GSocket* socket = nullptr;
  std::string answer;
  char buffer[16384];
  gsize drained = 0;
  GCancellable* cancel = g_cancellable_new();
  guint timer = 0;

  ~Refusal() {
    if (timer) g_source_remove(timer);
    g_object_unref(cancel);
    if (socket) g_object_unref(socket);
    g_io_stream_close(stream, nullptr, nullptr);
    g_object_unref(stream);
  }

  void start() {
    g_output_stream_write_all_async(g_io_stream_get_output_stream(stream), answer.data(),
                                    answer.size(), G_PRIORITY_DEFAULT, cancel, &Refusal::written,
                                    this);
  }

  static void written(GObject* source, GAsyncResult* result, gpointer data) {
    auto* self = static_cast<Refusal*>(data);
    if (!g_output_stream_write_all_finish(G_OUTPUT_STREAM(source), result, nullptr, nullptr)) {
      delete self;
      return;
    }
    if (self->socket) g_socket_shutdown(self->socket, FALSE, TRUE, nullptr);
    self->timer = g_timeout_add_seconds(
        kDrainSeconds,
        [](gpointer d) {
          auto* r = static_cast<Refusal*>(d);
          r->timer = 0;
          g_cancellable_cancel(r->cancel);
          return G_SOURCE_REMOVE;
        },
        self);
    self->readMore();
  }

  void readMore() {
    g_input_stream_read_async(g_io_stream_get_input_stream(stream), buffer, sizeof buffer,
                              G_PRIORITY_DEFAULT, cancel, &Refusal::read, this);
  }

  static void read(GObject* source, GAsyncResult* result, gpointer data) {
    auto* self = static_cast<Refusal*>(data);
    gssize n = g_input_stream_read_finish(G_INPUT_STREAM(source), result, nullptr);
    if (n <= 0 || (self->drained += static_cast<gsize>(n)) > kDrainBytes) {
      delete self;
      return;
    }
    self->readMore();
  }
};

void refuseBody(SoupServerMessage* msg) {
  GSocket* socket = soup_server_message_get_socket(msg);
  if (socket) g_object_ref(socket);
  GIOStream* stream = soup_server_message_steal_connection(msg);
  if (!stream) {
    if (socket) g_object_unref(socket);
    return;
  }
  Response r = tooLarge();
  auto* refusal = new Refusal;
  refusal->stream = stream;
  refusal->socket = socket;
  refusal->answer =
      "HTTP/1.1 413 Payload Too Large\r\n"
      "Content-Type: application/json; charset=utf-8\r\n"
      "Cache-Control: no-store\r\n"
      "Connection: close\r\n"
      "Content-Length: " +
      std::to_string(r.body.size()) + "\r\n\r\n" + r.body;
  refusal->start();
}

}  // namespace

struct DevServer::Impl {
  Options options;
  Store store;
  Api api;
  SoupServer* server = nullptr;
  GSocketService* service = nullptr;
  int port = 0;

  explicit Impl(Options o)
      : options(std::move(o)), store(options.db), api(store, [this] { return now(); }) {}

  std::int64_t now() const { return options.clock ? options.clock() : systemNow(); }

  Response dispatch(const Request& req) {
    try {
      if (req.path == "/api" || req.path.rfind("/api/", 0) == 0) {
        Request inner = req;
        inner.path = req.path.substr(4);
        return api.handle(inner);
      }
      if (req.method != "GET" && req.method != "HEAD") {
        Response r = Response::error(405, "Метод " + req.method + " здесь не поддерживается");
        r.headers.emplace_back("Allow", "GET, HEAD");
        return r;
      }
      return page(req.path);
    } catch (const HttpError& e) {
      return Response::error(e.status, e.what(), e.errors);
    } catch (const nlohmann::json::exception&) {
      return Response::error(422, "Неверные данные");
    } catch (const StoreError& e) {
      return Response::error(500, std::string("Ошибка хранилища: ") + e.what());
    } catch (const std::exception& e) {
      return Response::error(500, std::string("Внутренняя ошибка: ") + e.what());
    }
  }

  Response page(const std::string& path) {
    if (path == "/") {
      Response r = Response::json(302, {{"location", "/today"}});
      r.headers.emplace_back("Location", "/today");
      return r;
    }
    if (isPage(path)) return assetResponse(*findAsset("index.html"));
    if (path == "/favicon.ico")
      if (const Asset* a = findAsset("favicon.svg")) return assetResponse(*a);
    if (path.rfind("/static/", 0) == 0) {
      std::string rel = path.substr(8);
      if (rel.rfind("files/", 0) != 0)
        if (const Asset* a = findAsset(rel)) return assetResponse(*a);
    }
    if (path.rfind("/files/", 0) == 0) {
      std::string name = path.substr(7);
      if (const Asset* a =
              name.find('/') == std::string::npos ? findAsset("files/" + name) : nullptr) {
        Response r = assetResponse(*a);
        r.headers.emplace_back("Content-Disposition", "attachment; filename=\"" + name + "\"");
        return r;
      }
    }
    return Response::error(404, "Страница не найдена: " + path);
  }

  static void onRequest(SoupServer*, SoupServerMessage* msg, const char* path, GHashTable* query,
                        gpointer data) {
    auto* self = static_cast<Impl*>(data);
    Request req;
    req.method = soup_server_message_get_method(msg);
    req.path = path ? path : "/";
    if (query) {
      GHashTableIter it;
      gpointer k, v;
      g_hash_table_iter_init(&it, query);
      while (g_hash_table_iter_next(&it, &k, &v))
        req.query[static_cast<const char*>(k)] = v ? static_cast<const char*>(v) : "";
    }
    soup_message_headers_foreach(
        soup_server_message_get_request_headers(msg),
        [](const char* name, const char* value, gpointer out) {
          gchar* lower = g_ascii_strdown(name, -1);
          (*static_cast<std::map<std::string, std::string>*>(out))[lower] = value;
          g_free(lower);
        },
        &req.headers);
    SoupMessageBody* body = soup_server_message_get_request_body(msg);
    if (body && body->length > 0) {
      GBytes* bytes = soup_message_body_flatten(body);
      gsize size = 0;
      auto* p = static_cast<const char*>(g_bytes_get_data(bytes, &size));
      req.body.assign(p, size);
      g_bytes_unref(bytes);
    }
    Response res = self->dispatch(req);
    if (self->options.log)
      std::printf("%s %s %d\n", req.method.c_str(), req.path.c_str(), res.status);
    send(msg, res);
  }

  // An oversized body is refused as soon as its length is announced, or, when
  // it comes in chunks, as soon as more than the limit has arrived.
  static void onGotHeaders(SoupServerMessage* msg, gpointer) {
    goffset length =
        soup_message_headers_get_content_length(soup_server_message_get_request_headers(msg));
    if (length > kMaxBody) refuseBody(msg);
  }

  static void onGotChunk(SoupServerMessage* msg, GBytes*, gpointer) {
    SoupMessageBody* body = soup_server_message_get_request_body(msg);
    if (body && body->length > kMaxBody) refuseBody(msg);
  }

  static void onRequestStarted(SoupServer*, SoupServerMessage* msg, gpointer data) {
    // After the server's own handlers: taking the connection ends the message.
    g_signal_connect_after(msg, "got-headers", G_CALLBACK(onGotHeaders), data);
    g_signal_connect_after(msg, "got-chunk", G_CALLBACK(onGotChunk), data);
  }
};

DevServer::DevServer(Options options) {
  try {
    impl_ = std::make_unique<Impl>(std::move(options));
  } catch (const StoreError& e) {
    throw std::runtime_error(std::string("Не открыть базу данных: ") + e.what());
  }
  if (impl_->options.demo) seedDemo();
  impl_->server = soup_server_new("server-header", "vuko-devserver ", nullptr);
  soup_server_add_handler(impl_->server, nullptr, &Impl::onRequest, impl_.get(), nullptr);
  g_signal_connect(impl_->server, "request-started", G_CALLBACK(&Impl::onRequestStarted),
                   impl_.get());
  GError* error = nullptr;
  impl_->port = impl_->options.port;
  impl_->service = listenLocal(impl_->server, impl_->port, &error);
  if (!impl_->service) {
    std::string msg = error ? error->message : "listen failed";
    g_clear_error(&error);
    g_object_unref(impl_->server);
    throw std::runtime_error("Не удалось занять порт: " + msg);
  }
}

DevServer::~DevServer() {
  if (impl_ && impl_->service) {
    g_socket_service_stop(impl_->service);
    g_socket_listener_close(G_SOCKET_LISTENER(impl_->service));
    g_object_unref(impl_->service);
  }
  if (impl_ && impl_->server) {
    soup_server_disconnect(impl_->server);
    g_object_unref(impl_->server);
  }
}

int DevServer::port() const {
  return impl_->port;
}

std::string DevServer::url() const {
  return "http://127.0.0.1:" + std::to_string(impl_->port);
}

void DevServer::setClock(Clock clock) {
  impl_->options.clock = std::move(clock);
}

std::int64_t DevServer::now() const {
  return impl_->now();
}

void DevServer::seedDemo() {
  vuko::dev::seedDemo(impl_->store, impl_->now());
}

const char* DevServer::demoEmail() {
  return kDemoEmail;
}

const char* DevServer::demoPassword() {
  return kDemoPassword;
}

}  // namespace vuko::dev
