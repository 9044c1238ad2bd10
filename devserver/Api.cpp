#include "devserver/Api.h"

#include <glib.h>

#include <charconv>

namespace vuko::dev {

namespace {

std::vector<std::string> segments(const std::string& path) {
  std::vector<std::string> out;
  size_t start = 1;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    out.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

bool allDigits(const std::string& s) {
  if (s.empty() || s.size() > 18) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

bool reminderKey(const std::string& s) {
  if (s.empty() || s.size() > 64) return false;
  for (char c : s)
    if (!g_ascii_isalnum(c) && c != '-' && c != '_' && c != '.') return false;
  return true;
}

// Matches a path against a pattern, collecting the parameters.
bool match(const char* pattern, const std::string& path, std::vector<std::string>& params) {
  auto want = segments(pattern);
  auto have = segments(path);
  if (want.size() != have.size()) return false;
  params.clear();
  for (size_t i = 0; i < want.size(); ++i) {
    if (want[i] == "{id}") {
      if (!allDigits(have[i])) return false;
      params.push_back(have[i]);
    } else if (want[i] == "{key}") {
      if (!reminderKey(have[i])) return false;
      params.push_back(have[i]);
    } else if (want[i] != have[i]) {
      return false;
    }
  }
  return true;
}

}  // namespace

const std::vector<Api::Route>& Api::routes() {
  static const std::vector<Route> kRoutes = {
      {"GET", "/health", &Api::health, true},
      {"POST", "/auth/login", &Api::login, true},
      {"POST", "/auth/register", &Api::signup, true},
      {"POST", "/auth/logout", &Api::logout, false},
      {"GET", "/auth/me", &Api::me, false},
      {"GET", "/settings", &Api::getSettings, false},
      {"PUT", "/settings", &Api::putSettings, false},
      {"GET", "/tasks", &Api::listTasks, false},
      {"POST", "/tasks", &Api::createTask, false},
      {"GET", "/tasks/counts", &Api::counts, false},
      {"POST", "/tasks/parse", &Api::parse, false},
      {"GET", "/tasks/{id}", &Api::getTask, false},
      {"PUT", "/tasks/{id}", &Api::putTask, false},
      {"PATCH", "/tasks/{id}", &Api::putTask, false},
      {"DELETE", "/tasks/{id}", &Api::deleteTask, false},
      {"GET", "/tasks/{id}/attachment", &Api::attachment, false},
      {"GET", "/reminders/upcoming", &Api::upcoming, false},
      {"POST", "/reminders/{key}/fired", &Api::fired, false},
  };
  return kRoutes;
}

Response Api::handle(const Request& request) {
  std::string path = request.path.empty() ? "/" : request.path;
  if (path.size() > 1 && path.back() == '/') path.pop_back();
  std::string method = request.method == "HEAD" ? "GET" : request.method;

  std::vector<std::string> params;
  std::string allowed;
  for (const Route& r : routes()) {
    if (!match(r.pattern, path, params)) continue;
    if (method != r.method) {
      if (allowed.find(r.method) == std::string::npos)
        allowed += (allowed.empty() ? "" : ", ") + std::string(r.method);
      continue;
    }
    Call call{request, 0, {}, params};
    if (!r.open) authorise(call);
    return (this->*r.handler)(call);
  }
  if (!allowed.empty()) {
    Response r = Response::error(405, "Метод " + request.method + " здесь не поддерживается");
    r.headers.emplace_back("Allow", allowed);
    return r;
  }
  return Response::error(404, "Нет такого адреса API: " + request.path);
}

void Api::authorise(Call& call) {
  std::string header = call.request.header("authorization");
  const std::string prefix = "Bearer ";
  if (header.size() <= prefix.size() ||
      g_ascii_strncasecmp(header.c_str(), prefix.c_str(), prefix.size()) != 0)
    throw HttpError(401, "Нужен вход: нет токена");
  call.token = header.substr(prefix.size());
  auto user = store_.tokenUser(call.token);
  if (!user) throw HttpError(401, "Вход истёк — войдите снова");
  call.userId = *user;
}

UserSettings Api::settingsOf(std::int64_t userId) {
  return UserSettings::fromStored(store_.settings(userId));
}

Task Api::ownTask(Call& call, size_t param) {
  std::int64_t id = 0;
  const std::string& text = call.params.at(param);
  std::from_chars(text.data(), text.data() + text.size(), id);
  auto task = store_.task(call.userId, id);
  if (!task) throw HttpError(404, "Задача не найдена");
  return *task;
}

}  // namespace vuko::dev
