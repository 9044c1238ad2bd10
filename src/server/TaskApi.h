// What the client asks of the task server, one typed call per question.
// Callers take the token from the one source the wiring sets (token()) and
// pass it on; the HTTP client adds the header and the time-outs, Failure
// holds the user's sentences. Owners pass a Lifetime guard, so that a call
// still running when they go is cancelled.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/Task.h"
#include "platform/Url.h"

namespace vuko {

class TaskApi {
 public:
  // Gives the signed-in user's token, or none when nobody is signed in.
  using TokenSource = std::function<Task<std::optional<std::string>>()>;

  // How long a call may take as a whole.
  static constexpr std::chrono::seconds kCallTimeout{15};
  static constexpr std::chrono::seconds kProbeTimeout{6};

  // A failed call, with the sentence the user reads for it.
  class Failure : public std::runtime_error {
   public:
    enum class Kind {
      // The server answered with an error status (its own message or the code).
      server,
      // 401, or no token to send.
      notSignedIn,
      // No answer: no connection, a time-out, or the owner cancelled the call.
      network,
      // The text to send is not valid UTF-8; nothing was sent.
      unencodable,
    };

    // detail: the server's own message, when it sent one.
    static Failure server(int status, std::optional<std::string> detail = std::nullopt);
    static Failure notSignedIn();
    // networkText: the sentence naming the cause (see NetworkText.h).
    static Failure network(const std::string& networkText, bool cancelled = false);
    static Failure unencodable();

    Kind kind() const { return kind_; }
    // The server's status for kind server, 401 for notSignedIn, 0 otherwise.
    int status() const { return status_; }
    bool cancelled() const { return cancelled_; }
    std::string description() const { return what(); }

   private:
    Failure(Kind kind, const std::string& text, int status, bool cancelled = false)
        : std::runtime_error(text), kind_(kind), status_(status), cancelled_(cancelled) {}
    Kind kind_;
    int status_;
    bool cancelled_;
  };

  // The answer to the upcoming-reminders poll. status is 0 when no answer came;
  // items is set only for a 200 whose "items" is an array of objects.
  struct Upcoming {
    int status = 0;
    std::optional<nlohmann::json> items;
  };

  // The server probe's verdict for an address that does not answer as a task server.
  static constexpr const char* kNotOurServer = "По этому адресу отвечает не сервер «Vuko»";

  TaskApi() = default;
  TaskApi(const TaskApi&) = delete;
  TaskApi& operator=(const TaskApi&) = delete;
  virtual ~TaskApi() = default;

  // Set once by whoever knows where the token lives (the main page).
  void setTokenSource(TokenSource source) { tokenSource_ = std::move(source); }
  // The signed-in user's token; none when there is no source, it fails, or
  // it gives an empty one.
  Task<std::optional<std::string>> token() const;

  // None when server answers as a task server, else the user's sentence.
  // Sends no token.
  virtual Task<std::optional<std::string>> probe(Url server, Lifetime::Guard owner = {}) = 0;

  // The calls below throw Failure. Each is answered with the decoded object
  // or array (an empty object for a body that is not JSON).
  // What the server reads in a typed line.
  virtual Task<nlohmann::json> parse(std::string token, std::string text,
                                     Lifetime::Guard owner = {}) = 0;
  // A new task from a typed line, the server reading dates and tags in it.
  virtual Task<nlohmann::json> create(std::string token, std::string title,
                                      Lifetime::Guard owner = {}) = 0;
  // Today's and other counts of tasks.
  virtual Task<nlohmann::json> counts(std::string token, Lifetime::Guard owner = {}) = 0;
  // Any call under "/api" (the self-test's look at the server's state); a
  // body that is not an object throws std::invalid_argument, nothing sent.
  virtual Task<nlohmann::json> request(std::string token, std::string method, std::string path,
                                       std::optional<nlohmann::json> body = std::nullopt,
                                       Lifetime::Guard owner = {}) = 0;

  // The reminder engine's calls report what came back rather than throw: it
  // tells apart a lapsed sign-in, a server without reminders and no answer.
  virtual Task<Upcoming> upcoming(std::string token, Lifetime::Guard owner = {}) = 0;
  // Reports a reminder shown; the status (0 when no answer came).
  virtual Task<int> fired(std::string token, std::string reminderId,
                          Lifetime::Guard owner = {}) = 0;
  // Marks a task done; the status (0 when no answer came).
  virtual Task<int> complete(std::string token, long long taskId, Lifetime::Guard owner = {}) = 0;

 private:
  TokenSource tokenSource_;
};

}  // namespace vuko
