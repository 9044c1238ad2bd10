#include "devserver/DevServer.h"

#include <libsoup/soup.h>

#include <chrono>
#include <cstdio>
#include <stdexcept>

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

Response tooLarge() {
  return Response::error(413, "Слишком большое тело запроса (больше 1 МБ)");
}

}  // namespace

struct DevServer::Impl {
  Options options;
  Store store;
  Api api;
  SoupServer* server = nullptr;
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
    if (soup_server_message_get_status(msg) == 413) return;  // answered after the headers
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
    Response res;
    if (body && body->length > kMaxBody) {
      res = tooLarge();
    } else {
      if (body && body->length > 0) {
        GBytes* bytes = soup_message_body_flatten(body);
        gsize size = 0;
        auto* p = static_cast<const char*>(g_bytes_get_data(bytes, &size));
        req.body.assign(p, size);
        g_bytes_unref(bytes);
      }
      res = self->dispatch(req);
    }
    if (self->options.log)
      std::printf("%s %s %d\n", req.method.c_str(), req.path.c_str(), res.status);
    send(msg, res);
  }

  // Refuses an oversized body as soon as its length is announced, before
  // reading it.
  static void onGotHeaders(SoupServerMessage* msg, gpointer) {
    goffset length =
        soup_message_headers_get_content_length(soup_server_message_get_request_headers(msg));
    if (length > kMaxBody) {
      soup_message_headers_replace(soup_server_message_get_response_headers(msg), "Connection",
                                   "close");
      send(msg, tooLarge());
    }
  }

  static void onRequestStarted(SoupServer*, SoupServerMessage* msg, gpointer data) {
    g_signal_connect(msg, "got-headers", G_CALLBACK(onGotHeaders), data);
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
  if (!soup_server_listen_local(impl_->server, static_cast<guint>(impl_->options.port),
                                SOUP_SERVER_LISTEN_IPV4_ONLY, &error)) {
    std::string msg = error ? error->message : "listen failed";
    g_clear_error(&error);
    g_object_unref(impl_->server);
    throw std::runtime_error("Не удалось занять порт: " + msg);
  }
  GSList* uris = soup_server_get_uris(impl_->server);
  if (uris) impl_->port = g_uri_get_port(static_cast<GUri*>(uris->data));
  g_slist_free_full(uris, reinterpret_cast<GDestroyNotify>(g_uri_unref));
}

DevServer::~DevServer() {
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
