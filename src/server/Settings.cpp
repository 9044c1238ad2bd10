#include "server/Settings.h"

#include <string_view>

#include "platform/Defaults.h"

namespace vuko::Settings {

namespace {

std::optional<Url>& testOverride() {
  static std::optional<Url> u;
  return u;
}

// The server a test run names; it stands for the stored one.
std::optional<Url>& testServer() {
  static std::optional<Url> u;
  return u;
}

// White space as UTF-8, as text pasted from documents and chats brings it
// along: no-break, typographic and ideographic spaces, line and paragraph
// separators, and the invisible zero-width space and byte-order mark.
constexpr std::string_view kBlanks[] = {
    " ",      "\t",     "\n",     "\r",     "\v",     "\f",     "\u0085", "\u00a0", "\u1680",
    "\u2000", "\u2001", "\u2002", "\u2003", "\u2004", "\u2005", "\u2006", "\u2007", "\u2008",
    "\u2009", "\u200a", "\u200b", "\u2028", "\u2029", "\u202f", "\u205f", "\u3000", "\ufeff"};

std::string trim(const std::string& s) {
  std::string_view text = s;
  for (bool again = true; again;) {
    again = false;
    for (auto blank : kBlanks) {
      if (text.starts_with(blank)) {
        text.remove_prefix(blank.size());
        again = true;
      }
      if (text.ends_with(blank)) {
        text.remove_suffix(blank.size());
        again = true;
      }
    }
  }
  return std::string(text);
}

bool startsWith(const std::string& s, const std::string& p) {
  return s.rfind(p, 0) == 0;
}
bool endsWith(const std::string& s, const std::string& p) {
  return s.size() >= p.size() && s.compare(s.size() - p.size(), p.size(), p) == 0;
}

}  // namespace

Defaults& d() {
  return Defaults::standard();
}

const Url& publicServer() {
  static const Url u = *Url::parse(kPublicServer);
  return u;
}

Url server() {
  if (testServer()) return testOverride() ? *testOverride() : *testServer();
  if (auto stored = d().string("server"))
    if (auto u = Url::parse(*stored)) return *u;
  return publicServer();
}

void setServer(const Url& address) {
  if (testServer()) {
    testOverride() = address;
    return;
  }
  d().setString("server", address.str());
  if (address == publicServer()) return;
  std::vector<std::string> list{address.str()};
  for (auto& entry : recent())
    if (entry != address.str()) list.push_back(entry);
  setRecent(list);
}

std::vector<std::string> recent() {
  // Entries of another type are skipped rather than losing the whole list.
  std::vector<std::string> out;
  if (auto v = d().array("recentServers"))
    for (const auto& e : *v)
      if (e.is_string()) out.push_back(e.get<std::string>());
  return out;
}

void setRecent(const std::vector<std::string>& list) {
  std::vector<std::string> kept(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(std::min(
                                                                 list.size(), kRecentLimit)));
  d().setStringArray("recentServers", kept);
}

bool dockBadge() {
  return d().boolean("dockBadge").value_or(true);
}
void setDockBadge(bool on) {
  d().setBool("dockBadge", on);
}

bool isPublic() {
  return server().host() == publicServer().host();
}

Url url(const std::string& path) {
  Url base = server();
  return base.resolve(path).value_or(base);
}

std::optional<Url> normalize(const std::string& typed) {
  std::string text = trim(typed);
  while (!text.empty() && text.back() == '/') text.pop_back();
  if (text.empty()) return std::nullopt;
  if (text.find("://") == std::string::npos) {
    bool local = startsWith(text, "localhost") || startsWith(text, "127.") ||
                 startsWith(text, "192.168.") || startsWith(text, "10.") ||
                 endsWith(text, ".local") || text.find(".local:") != std::string::npos;
    text = (local ? "http://" : "https://") + text;
  }
  auto u = Url::parse(text);
  if (!u) return std::nullopt;
  if (u->scheme() != "http" && u->scheme() != "https") return std::nullopt;
  if (!u->host()) return std::nullopt;
  // The address takes the form the web engine gives every page of the server
  // (lower-case host, no default port), so the pages are recognised as ours.
  auto host = Url::serverHost(*u->host());
  if (!host) return std::nullopt;
  // An IPv6 literal needs its brackets back to form an address.
  if (host->find(':') != std::string::npos) host = "[" + *host + "]";
  std::string out = u->scheme() + "://" + *host;
  if (auto port = u->portUnlessDefault()) out += ":" + std::to_string(*port);
  return Url::parse(out);
}

void useTestServer(std::optional<Url> address) {
  testServer() = std::move(address);
  testOverride().reset();
}

void resetTestOverride() {
  testOverride().reset();
}

}  // namespace vuko::Settings
