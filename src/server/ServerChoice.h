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

}  // namespace vuko::ServerChoice
