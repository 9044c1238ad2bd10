// A task API that records every call and answers as the test scripts it: at
// once, with a failure, or held until the test releases it (or its owner goes,
// which cancels it as the HTTP client does).
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "server/NetworkText.h"
#include "server/TaskApi.h"

namespace vuko::test {

class FakeTaskApi final : public TaskApi {
 public:
  struct Call {
    // parse, create, counts, request, upcoming, fired, complete
    std::string name;
    std::string token;
    // What the HTTP client would send for it (path under "/api").
    std::string method;
    std::string path;
    nlohmann::json body;  // null when none
    // The owner went while the call was held.
    bool cancelled = false;
  };

  struct Answer {
    // The decoded reply; for upcoming the items (not an array: no usable list).
    nlohmann::json json = nlohmann::json::object();
    // The status of upcoming, fired and complete (0: no answer).
    int status = 200;
    // Thrown by parse, create, counts and request instead of a reply.
    std::optional<Failure> failure;
    // Wait for release() or the owner's end.
    bool hold = false;
  };

  static Answer reply(nlohmann::json json) { return {std::move(json), 200, std::nullopt, false}; }
  static Answer failing(Failure failure) { return {{}, 200, std::move(failure), false}; }
  static Answer held() { return {{}, 200, std::nullopt, true}; }

  // Answers each call; the default answer when empty.
  std::function<Answer(const Call&)> respond;
  std::vector<Call> calls;

  std::size_t heldCount() const { return held_.size(); }
  // Answers the oldest held call.
  void release(Answer answer) {
    if (held_.empty()) return;
    auto resolve = held_.front().second;
    held_.erase(held_.begin());
    resolve(std::move(answer));
  }

  // A token source that gives the field below.
  std::optional<std::string> pageToken = "tok";
  int tokenAsks = 0;
  void useTokenField() {
    setTokenSource([this]() -> Task<std::optional<std::string>> {  // lives with its owner
      ++tokenAsks;
      co_return pageToken;
    });
  }

  // (Each call is built before the co_await: g++ 12 cannot keep a string
  // literal's temporary in a coroutine frame.)
  Task<std::optional<std::string>> probe(Url, Lifetime::Guard = {}) override {
    co_return std::nullopt;
  }
  Task<nlohmann::json> parse(std::string token, std::string text,
                             Lifetime::Guard owner = {}) override {
    Call call{"parse", token, "POST", "/tasks/parse", {{"text", text}}};
    co_return co_await json(std::move(call), owner);
  }
  Task<nlohmann::json> create(std::string token, std::string title,
                              Lifetime::Guard owner = {}) override {
    Call call{"create", token, "POST", "/tasks", {{"title", title}, {"smart", true}}};
    co_return co_await json(std::move(call), owner);
  }
  Task<nlohmann::json> counts(std::string token, Lifetime::Guard owner = {}) override {
    Call call{"counts", token, "GET", "/tasks/counts", nullptr};
    co_return co_await json(std::move(call), owner);
  }
  Task<nlohmann::json> request(std::string token, std::string method, std::string path,
                               std::optional<nlohmann::json> body = std::nullopt,
                               Lifetime::Guard owner = {}) override {
    Call call{"request", token, method, path, body ? *body : nlohmann::json(nullptr)};
    co_return co_await json(std::move(call), owner);
  }
  Task<Upcoming> upcoming(std::string token, Lifetime::Guard owner = {}) override {
    Call call{"upcoming", token, "GET", "/reminders/upcoming?hours=24", nullptr};
    Upcoming u;
    try {
      auto a = co_await answer(std::move(call), owner);
      u.status = a.status;
      if (a.status == 200 && a.json.is_array()) u.items = a.json;
    } catch (const Failure&) {
    }
    co_return u;
  }
  Task<int> fired(std::string token, std::string reminderId, Lifetime::Guard owner = {}) override {
    Call call{"fired", token, "POST", "/reminders/" + reminderId + "/fired", nullptr};
    co_return co_await status(std::move(call), owner);
  }
  Task<int> complete(std::string token, long long taskId, Lifetime::Guard owner = {}) override {
    Call call{"complete", token, "PUT", "/tasks/" + std::to_string(taskId), {{"completed", true}}};
    co_return co_await status(std::move(call), owner);
  }

 private:
  Task<Answer> answer(Call call, Lifetime::Guard owner) {
    calls.push_back(std::move(call));
    std::size_t index = calls.size() - 1;
    Answer a = respond ? respond(calls.back()) : Answer{};
    if (!a.hold) co_return a;
    Future<std::optional<Answer>> got;
    held_.emplace_back(index, got.resolver());
    std::size_t hook = 0;
    if (owner)
      hook = owner.onEnd([this, index, resolve = got.resolver()] {
        calls[index].cancelled = true;
        std::erase_if(held_, [index](const auto& h) { return h.first == index; });
        resolve(std::nullopt);
      });
    auto result = co_await got;
    if (hook) owner.forget(hook);
    if (!result) {
      auto kind = TransportError::Kind::cancelled;
      throw Failure::network(networkFailureText(kind), true);
    }
    co_return *result;
  }

  Task<nlohmann::json> json(Call call, Lifetime::Guard owner) {
    auto a = co_await answer(std::move(call), std::move(owner));
    if (a.failure) throw *a.failure;
    co_return a.json;
  }

  Task<int> status(Call call, Lifetime::Guard owner) {
    try {
      co_return (co_await answer(std::move(call), std::move(owner))).status;
    } catch (const Failure&) {
    }
    co_return 0;
  }

  std::vector<std::pair<std::size_t, Future<std::optional<Answer>>::Resolver>> held_;
};

}  // namespace vuko::test
