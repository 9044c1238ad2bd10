#include "server/ServerChoice.h"

#include "server/Settings.h"

namespace vuko::ServerChoice {

std::string publicTitle() {
  return "Общий сервер «Vuko» — " + Settings::publicServer().host().value_or("");
}

std::string placeholder() {
  return std::string(Settings::kExampleCompanyHost) + " или localhost:5300";
}

std::string badAddress() {
  return std::string("Введите адрес сервера, например ") + Settings::kExampleCompanyHost;
}

Filled filled() {
  Filled f;
  f.items = Settings::recent();
  f.own = !Settings::isPublic();
  if (f.own)
    f.field = Settings::server().str();
  else if (!f.items.empty())
    f.field = f.items.front();
  return f;
}

std::optional<Url> firstAddress(bool own, const std::string& typed) {
  if (!own) return Settings::publicServer();
  return Settings::normalize(typed);
}

std::optional<Url> plainRetry(const Url& first, bool own, const std::string& typed) {
  if (!own || typed.find("://") != std::string::npos || first.scheme() != "https")
    return std::nullopt;
  const std::string& text = first.str();
  if (text.size() < 8) return std::nullopt;
  return Url::parse("http://" + text.substr(8));
}

Task<Outcome> probe(Url first, bool own, std::string typed, Probe check) {
  auto message = co_await check(first);
  if (!message) co_return Outcome{first, {}};
  if (auto second = plainRetry(first, own, typed)) {
    if (!co_await check(*second)) co_return Outcome{*second, {}};
  }
  co_return Outcome{std::nullopt, *message};
}

bool accept(const Url& address) {
  bool changed = !(address == Settings::server());
  Settings::setServer(address);
  return changed;
}

}  // namespace vuko::ServerChoice
