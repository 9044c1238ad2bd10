#include "server/API.h"

#include <stdexcept>

#include "platform/Http.h"
#include "server/Settings.h"

namespace vuko::API {

Task<nlohmann::json> request(std::string path, std::string token, std::string method,
                             std::optional<nlohmann::json> body) {
  if (body && !body->is_object())
    throw std::invalid_argument("the body of an API call is an object");
  HttpRequest req;
  req.url = Settings::url("/api" + path).str();
  req.method = method;
  req.timeout = std::chrono::seconds(15);
  req.headers.emplace_back("Authorization", "Bearer " + token);
  if (body) {
    req.headers.emplace_back("Content-Type", "application/json");
    req.body = body->dump();  // throws on text that is not UTF-8; nothing sent
  }
  HttpResponse res = co_await Http::send(std::move(req));

  auto decoded = nlohmann::json::parse(res.body, nullptr, false);
  if (!decoded.is_object() && !decoded.is_array()) decoded = nlohmann::json::object();

  if (res.status == 401) throw Failure::notLoggedIn();
  if (res.status < 200 || res.status > 299) {
    if (decoded.is_object() && decoded.contains("detail") && decoded["detail"].is_string())
      throw Failure::server(decoded["detail"].get<std::string>());
    throw Failure::server("Ошибка сервера " + std::to_string(res.status));
  }
  co_return decoded;
}

}  // namespace vuko::API
