#include "server/HttpTaskApi.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "server/NetworkText.h"
#include "server/Settings.h"

namespace vuko {

namespace {

// A call under "/api" on the server in use, with the user's token.
HttpRequest apiRequest(const std::string& token, std::string method, const std::string& path) {
  HttpRequest req;
  req.url = Settings::url("/api" + path).str();
  req.method = std::move(method);
  req.timeout = TaskApi::kCallTimeout;
  req.headers.emplace_back("Authorization", "Bearer " + token);
  return req;
}

// Sends and waits; a transfer that fails becomes the user's sentence for it.
Task<HttpResponse> exchange(HttpRequest req, Lifetime::Guard owner) {
  try {
    co_return co_await Http::send(std::move(req), std::move(owner));
  } catch (const TransportError& e) {
    throw TaskApi::Failure::network(networkFailureText(e.kind()),
                                    e.kind() == TransportError::Kind::cancelled);
  }
}

// The status as a result, 0 when no answer came.
Task<int> statusOf(HttpRequest req, Lifetime::Guard owner) {
  try {
    auto res = co_await exchange(std::move(req), std::move(owner));
    co_return res.status;
  } catch (const TaskApi::Failure&) {
    co_return 0;
  }
}

Task<nlohmann::json> jsonCall(HttpRequest req, std::optional<nlohmann::json> body,
                              Lifetime::Guard owner) {
  if (body) {
    req.headers.emplace_back("Content-Type", "application/json");
    try {
      req.body = body->dump();
    } catch (const nlohmann::json::exception&) {
      throw TaskApi::Failure::unencodable();
    }
  }
  HttpResponse res = co_await exchange(std::move(req), std::move(owner));

  auto decoded = nlohmann::json::parse(res.body, nullptr, false);
  if (!decoded.is_object() && !decoded.is_array()) decoded = nlohmann::json::object();

  if (res.status == 401) throw TaskApi::Failure::notSignedIn();
  if (res.status < 200 || res.status > 299) {
    auto detail = decoded.is_object() ? decoded.find("detail") : decoded.end();
    if (detail != decoded.end() && detail->is_string())
      throw TaskApi::Failure::server(res.status, detail->get<std::string>());
    throw TaskApi::Failure::server(res.status);
  }
  co_return decoded;
}

}  // namespace

Task<std::optional<std::string>> HttpTaskApi::checkServer(Url server, Lifetime::Guard owner) {
  auto target = server.resolve("/api/health");
  if (!target) co_return std::string(kNotOurServer);
  HttpRequest req;
  req.url = target->str();
  req.timeout = kProbeTimeout;
  HttpResponse res;
  try {
    res = co_await Http::send(std::move(req), std::move(owner));
  } catch (const TransportError& e) {
    co_return "Не удалось подключиться: " + networkFailureText(e.kind());
  }
  auto body = nlohmann::json::parse(res.body, nullptr, false);
  auto ok = body.is_object() ? body.find("ok") : body.end();
  if (res.status == 200 && ok != body.end() && ok->is_boolean() && ok->get<bool>())
    co_return std::nullopt;
  co_return std::string(kNotOurServer);
}

Task<std::optional<std::string>> HttpTaskApi::probe(Url server, Lifetime::Guard owner) {
  co_return co_await checkServer(std::move(server), std::move(owner));
}

// (Each request is built before the co_await: g++ 12 cannot keep a string
// literal's temporary in a coroutine frame.)
Task<nlohmann::json> HttpTaskApi::parse(std::string token, std::string text,
                                        Lifetime::Guard owner) {
  HttpRequest req = apiRequest(token, "POST", "/tasks/parse");
  nlohmann::json body = {{"text", std::move(text)}};
  co_return co_await jsonCall(std::move(req), std::move(body), std::move(owner));
}

Task<nlohmann::json> HttpTaskApi::create(std::string token, std::string title,
                                         Lifetime::Guard owner) {
  HttpRequest req = apiRequest(token, "POST", "/tasks");
  nlohmann::json body = {{"title", std::move(title)}, {"smart", true}};
  co_return co_await jsonCall(std::move(req), std::move(body), std::move(owner));
}

Task<nlohmann::json> HttpTaskApi::counts(std::string token, Lifetime::Guard owner) {
  HttpRequest req = apiRequest(token, "GET", "/tasks/counts");
  co_return co_await jsonCall(std::move(req), std::nullopt, std::move(owner));
}

Task<nlohmann::json> HttpTaskApi::request(std::string token, std::string method, std::string path,
                                          std::optional<nlohmann::json> body,
                                          Lifetime::Guard owner) {
  if (body && !body->is_object())
    throw std::invalid_argument("the body of an API call is an object");
  HttpRequest req = apiRequest(token, std::move(method), path);
  co_return co_await jsonCall(std::move(req), std::move(body), std::move(owner));
}

Task<TaskApi::Upcoming> HttpTaskApi::upcoming(std::string token, Lifetime::Guard owner) {
  Upcoming answer;
  HttpResponse res;
  HttpRequest req = apiRequest(token, "GET", "/reminders/upcoming?hours=24");
  try {
    res = co_await exchange(std::move(req), std::move(owner));
  } catch (const Failure&) {
    co_return answer;
  }
  answer.status = res.status;
  auto json = nlohmann::json::parse(res.body, nullptr, false);
  if (res.status != 200 || !json.is_object()) co_return answer;
  auto items = json.find("items");
  if (items != json.end() && items->is_array() &&
      std::all_of(items->begin(), items->end(), [](const auto& e) { return e.is_object(); }))
    answer.items = std::move(*items);
  co_return answer;
}

Task<int> HttpTaskApi::fired(std::string token, std::string reminderId, Lifetime::Guard owner) {
  HttpRequest req = apiRequest(token, "POST", "/reminders/" + reminderId + "/fired");
  co_return co_await statusOf(std::move(req), std::move(owner));
}

Task<int> HttpTaskApi::complete(std::string token, long long taskId, Lifetime::Guard owner) {
  HttpRequest req = apiRequest(token, "PUT", "/tasks/" + std::to_string(taskId));
  req.headers.emplace_back("Content-Type", "application/json");
  req.body = R"({"completed":true})";
  co_return co_await statusOf(std::move(req), std::move(owner));
}

}  // namespace vuko
