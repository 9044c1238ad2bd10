// JSON bodies of the stand-in server's writing calls, through its router and
// a real (in-memory) database: a body is answered with a 2xx or a 4xx JSON
// error, never a server error, and a refused body changes nothing.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <memory>
#include <string>

#include "Check.h"
#include "devserver/Api.h"
#include "devserver/Store.h"

using namespace vuko::dev;
using nlohmann::json;

namespace {

constexpr std::int64_t kNow = 1741165200;
const std::string kToken(64, 'a');

struct World {
  Store store{":memory:"};
  Api api{store, [] { return kNow; }};
  std::int64_t user = 0;
  std::int64_t task = 0;
  World() {
    user = store.addUser({0, "fuzz@vuko.local", "Fuzz", "", "-"});
    store.addToken(kToken, user, kNow);
    Task t;
    t.userId = user;
    t.title = "Задача";
    t.createdAt = t.updatedAt = kNow;
    t.dueDate = Date::make(2025, 3, 6);
    task = store.insertTask(t);
  }
};

Response call(World& w, const std::string& method, const std::string& path,
              const std::string& body) {
  Request r;
  r.method = method;
  r.path = path;
  r.body = body;
  r.headers["authorization"] = "Bearer " + kToken;
  try {
    return w.api.handle(r);
  } catch (const HttpError& e) {
    FUZZ_CHECK(e.status >= 400 && e.status < 500, "handlers refuse with a 4xx");
    return Response::error(e.status, e.what(), e.errors);
  } catch (const json::exception&) {
    return Response::error(422, "json");  // the dispatcher's answer too
  }
  // StoreError and anything else escape: a server error is a finding.
}

std::string snapshot(World& w) {
  json all = json::array();
  for (const auto& t : w.store.tasks(w.user))
    all.push_back({t.title, t.description, t.startDate ? t.startDate->iso() : "",
                   t.dueDate ? t.dueDate->iso() : "", t.dueTime.value_or(-1), t.priority, t.tags,
                   t.repeat.value_or(""), t.completedAt.value_or(-1)});
  return all.dump(-1, ' ', false, json::error_handler_t::replace) + w.store.settings(w.user);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static std::unique_ptr<World> world;
  static int runs = 0;
  if (!world || ++runs % 2000 == 0) world = std::make_unique<World>();  // bounded database
  World& w = *world;

  FuzzedDataProvider in(data, size);
  static const std::pair<const char*, const char*> kCalls[] = {
      {"POST", "/tasks"},   {"PUT", "/tasks/{id}"},   {"PATCH", "/tasks/{id}"},
      {"PUT", "/settings"}, {"POST", "/tasks/parse"},
  };
  auto [method, pattern] = kCalls[in.ConsumeIntegralInRange<size_t>(0, std::size(kCalls) - 1)];
  std::string path = pattern;
  if (auto at = path.find("{id}"); at != std::string::npos)
    path.replace(at, 4, std::to_string(w.task));
  std::string body = in.ConsumeRemainingBytesAsString();

  std::string before = snapshot(w);
  Response r = call(w, method, path, body);
  FUZZ_CHECK(r.status < 500, "never a server error");
  json answer = json::parse(r.body, nullptr, false);
  FUZZ_CHECK(answer.is_object(), "every answer is a JSON object");
  if (r.status >= 400) {
    FUZZ_CHECK(answer.contains("detail") && answer["detail"].is_string(), "errors have a detail");
    FUZZ_CHECK(snapshot(w) == before, "a refused body changes nothing");
    return 0;
  }
  if (std::string(method) != "POST" || path != "/tasks") return 0;
  // A created task reads back as it was answered.
  auto id = answer.find("id");
  FUZZ_CHECK(id != answer.end() && id->is_number_integer(), "a created task has an id");
  Response back = call(w, "GET", "/tasks/" + std::to_string(id->get<std::int64_t>()), "");
  FUZZ_CHECK(back.status == 200, "a created task can be read");
  json read = json::parse(back.body, nullptr, false);
  FUZZ_CHECK(read["title"] == answer["title"] && read["tags"] == answer["tags"] &&
                 read.value("due_date", "") == answer.value("due_date", "") &&
                 read.value("repeat", "") == answer.value("repeat", ""),
             "a created task reads back as answered");
  FUZZ_CHECK(!read["title"].get<std::string>().empty(), "a task has a title");
  return 0;
}
