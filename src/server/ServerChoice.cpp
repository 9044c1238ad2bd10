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

Sheet::Sheet(Probe check) : check_(std::move(check)) {}

Filled Sheet::present(std::function<void(bool changed)> done) {
  ++round_;
  onDone = std::move(done);
  // A probe of an earlier round may still run; this round starts ready.
  set({}, false);
  return filled();
}

void Sheet::modeChanged() {
  set({}, busy_);
}

void Sheet::connect(bool own, const std::string& typed) {
  if (busy_) return;
  auto first = firstAddress(own, typed);
  if (!first) {
    set({badAddress(), true}, false);
    return;
  }
  set({kProbing, false}, true);
  run(*first, own, typed, round_).detach();
}

void Sheet::cancel() {
  ++round_;
}

Task<> Sheet::run(Url first, bool own, std::string typed, unsigned started) {
  auto alive = life_.guard();
  auto outcome = co_await probe(first, own, typed, check_);
  if (!alive) co_return;
  bool current = started == round_;
  if (!outcome.accepted) {
    if (current) set({outcome.message, true}, false);
    co_return;
  }
  // A server that answered is stored even when the sheet was cancelled
  // meanwhile: the user asked for it and it works.
  bool changed = accept(*outcome.accepted);
  if (current) {
    set(status_, false);
    if (onClose) onClose();
  }
  if (auto done = onDone) done(changed);
}

void Sheet::set(Status status, bool busy) {
  status_ = std::move(status);
  busy_ = busy;
  if (onChange) onChange();
}

}  // namespace vuko::ServerChoice
