#include "quick/Outbox.h"

#include <utility>

namespace vuko {

namespace {

// The account id in the answer to "/auth/me"; empty when it has none.
std::string accountIn(const nlohmann::json& me) {
  if (!me.is_object()) return "";
  auto id = me.find("id");
  if (id == me.end()) return "";
  if (id->is_string()) return id->get<std::string>();
  if (id->is_number_integer()) return std::to_string(id->get<long long>());
  return "";
}

// Whether a failed call may go through later: no answer, a lapsed sign-in,
// or the server's own trouble. Any other refusal would refuse the line forever.
bool worthRetrying(const TaskApi::Failure& f) {
  using Kind = TaskApi::Failure::Kind;
  if (f.kind() != Kind::server) return f.kind() != Kind::unencodable;
  return f.status() >= 500 || f.status() == 408 || f.status() == 429;
}

}  // namespace

Outbox::Outbox(TaskApi& api, OutboxStore& store, std::function<std::string()> server, Clock& clock)
    : api_(api), store_(store), server_(std::move(server)), clock_(clock) {
  load();
  if (!entries_.empty()) watch();
}

void Outbox::watch() {
  if (retry_.active()) return;
  auto alive = life_.guard();
  retry_ = clock_.schedule(
      kRetry,
      [this, alive] {
        if (alive && waiting() > 0) retry().detach();
      },
      true);
}

Task<> Outbox::retry() {
  auto alive = life_.guard();
  auto token = co_await api_.token();
  if (!alive || !token) co_return;
  co_await send(*token);
}

void Outbox::load() {
  auto saved = store_.load();
  if (!saved) return;
  auto doc = nlohmann::json::parse(*saved, nullptr, false);
  if (!doc.is_object()) return;
  auto str = [](const nlohmann::json& o, const char* key) -> std::optional<std::string> {
    auto it = o.find(key);
    if (it == o.end() || !it->is_string()) return std::nullopt;
    return it->get<std::string>();
  };
  if (auto a = doc.find("accounts"); a != doc.end() && a->is_object())
    for (auto& [server, account] : a->items())
      if (account.is_string()) accounts_[server] = account.get<std::string>();
  if (auto list = doc.find("entries"); list != doc.end() && list->is_array())
    for (const auto& e : *list) {
      if (!e.is_object()) continue;
      auto server = str(e, "server");
      auto text = str(e, "text");
      if (!server || !text) continue;
      auto sending = e.find("sending");
      entries_.push_back({*server, str(e, "account").value_or(""), *text,
                          sending != e.end() && sending->is_boolean() && sending->get<bool>()});
    }
}

void Outbox::save() {
  nlohmann::json list = nlohmann::json::array();
  for (const auto& e : entries_)
    list.push_back(
        {{"server", e.server}, {"account", e.account}, {"text", e.text}, {"sending", e.sending}});
  nlohmann::json doc = {{"accounts", accounts_}, {"entries", list}};
  store_.save(doc.dump(1, ' ', false, nlohmann::json::error_handler_t::replace));
}

bool Outbox::knowsAccount() const {
  return accounts_.count(server_()) > 0;
}

bool Outbox::forCurrent(const Entry& e, const std::string& account) const {
  return e.server == server_() && (e.account == account || e.account.empty());
}

void Outbox::keep(const std::string& text) {
  std::string server = server_();
  auto known = accounts_.find(server);
  entries_.push_back({server, known != accounts_.end() ? known->second : "", text, false});
  save();
  watch();
  if (onChanged) onChanged();
}

std::size_t Outbox::waiting() const {
  auto known = accounts_.find(server_());
  std::string account = known != accounts_.end() ? known->second : "";
  std::size_t n = 0;
  for (const auto& e : entries_) n += forCurrent(e, account) ? 1 : 0;
  return n;
}

std::optional<std::string> Outbox::menuLine() const {
  std::size_t n = waiting();
  if (n == 0) return std::nullopt;
  return "Ждут отправки: " + std::to_string(n);
}

Task<std::optional<std::string>> Outbox::accountOf(const std::string& token) {
  if (auto known = tokenAccounts_.find(token); known != tokenAccounts_.end())
    co_return known->second;
  auto alive = life_.guard();
  std::string account;
  try {
    std::string method = "GET", path = "/auth/me";
    account = accountIn(co_await api_.request(token, method, path, std::nullopt, alive));
  } catch (const TaskApi::Failure& f) {
    // A server that keeps no accounts of this kind: its lines are keyed by
    // the server alone.
    if (f.kind() != TaskApi::Failure::Kind::server || worthRetrying(f)) co_return std::nullopt;
  }
  if (!alive) co_return std::nullopt;
  tokenAccounts_[token] = account;
  co_return account;
}

Task<> Outbox::send(std::string token) {
  if (running_) co_return;
  running_ = true;
  auto alive = life_.guard();
  auto account = co_await accountOf(token);
  if (!alive) co_return;
  if (!account) {
    running_ = false;
    co_return;
  }
  std::string server = server_();
  if (auto known = accounts_.find(server); known == accounts_.end() || known->second != *account) {
    accounts_[server] = *account;
    save();
    if (onChanged) onChanged();
  }
  bool sent = false;
  for (;;) {
    // Only this loop removes entries, and keep() only appends: the index
    // stays valid across the call.
    std::size_t i = 0;
    while (i < entries_.size() && !forCurrent(entries_[i], *account)) ++i;
    if (i == entries_.size()) break;
    entries_[i].account = *account;
    entries_[i].sending = true;
    save();
    std::string text = entries_[i].text;
    std::optional<TaskApi::Failure> failure;
    try {
      co_await api_.create(token, text, alive);
    } catch (const TaskApi::Failure& f) {
      failure = f;
    }
    if (!alive) co_return;
    if (failure && worthRetrying(*failure)) break;
    if (failure && onRefused) onRefused(text, failure->description());
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
    save();
    sent = sent || !failure;
    if (onChanged) onChanged();
  }
  running_ = false;
  if (sent && onSent) onSent();
}

}  // namespace vuko
