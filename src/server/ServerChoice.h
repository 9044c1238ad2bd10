// What the server sheet decides without a window: the texts it shows, what it
// is filled with when presented, which address a press of "Подключиться" tries,
// and when a failed probe is tried again over plain HTTP.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Task.h"
#include "platform/Url.h"

namespace vuko::ServerChoice {

inline constexpr const char* kHeading = "Подключение к серверу";
inline constexpr const char* kExplanation =
    "У каждого сервера свой аккаунт. Адрес своего сервера даёт администратор вашей компании.";
inline constexpr const char* kOwnTitle = "Свой сервер — например, корпоративный";
inline constexpr const char* kConnect = "Подключиться";
inline constexpr const char* kCancel = "Отмена";
inline constexpr const char* kProbing = "Проверяем сервер…";

// "Общий сервер «Vuko» — " and the public server's host.
std::string publicTitle();
// The example company host, " или localhost:5300".
std::string placeholder();
// The red line for an empty or unusable address.
std::string badAddress();

// What the sheet shows when it is presented, from the stored settings.
struct Filled {
  bool own = false;
  std::vector<std::string> items;  // the recent servers, newest first
  std::string field;
};
Filled filled();

// The address to probe first: the typed one normalised in own mode (none when
// it is unusable), the public server otherwise.
std::optional<Url> firstAddress(bool own, const std::string& typed);

// The plain-HTTP address tried after a failed first probe: only for an own
// server typed without a scheme whose address came out as https.
std::optional<Url> plainRetry(const Url& first, bool own, const std::string& typed);

// None when the address answers as a task server, else a Russian message.
using Probe = std::function<Task<std::optional<std::string>>(Url)>;

struct Outcome {
  std::optional<Url> accepted;  // the address that answered
  std::string message;          // why none did
};

// Probes first and, when it fails and a retry applies, its plain-HTTP twin.
// The first probe's message stands when both fail.
Task<Outcome> probe(Url first, bool own, std::string typed, Probe check);

// Stores the accepted address as the server in use and tells whether that
// changed the server.
bool accept(const Url& address);

// The sheet's state over its presentations: the status line, whether a probe
// runs (one at a time), and the rounds. Each presentation or cancellation
// starts a new round; a probe started in an earlier round still stores a
// server that answered, but no longer speaks for the window.
class Sheet {
 public:
  struct Status {
    std::string text;
    bool error = false;
  };

  explicit Sheet(Probe check);
  Sheet(const Sheet&) = delete;
  Sheet& operator=(const Sheet&) = delete;

  // A new round, ready and with an empty status line; gives what to show.
  // done runs once a server was accepted, with whether the stored server
  // changed.
  Filled present(std::function<void(bool changed)> done);
  // The public/own choice was switched: the status line empties.
  void modeChanged();
  // "Подключиться" or Return; ignored while a probe runs.
  void connect(bool own, const std::string& typed);
  // "Отмена" or Escape: a new round, without calling done.
  void cancel();

  bool busy() const { return busy_; }
  const Status& status() const { return status_; }

  // The status line or the busy state changed.
  std::function<void()> onChange;
  // The current round's server was accepted: the window goes.
  std::function<void()> onClose;
  std::function<void(bool changed)> onDone;

 private:
  Task<> run(Url first, bool own, std::string typed, unsigned started);
  void set(Status status, bool busy);

  Probe check_;
  Status status_;
  bool busy_ = false;
  unsigned round_ = 0;
  Lifetime life_;
};

}  // namespace vuko::ServerChoice
