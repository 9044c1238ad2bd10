// Which task server the client talks to, the servers used before, the Dock
// badge switch, and the rules that turn a typed address into a server.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/Task.h"
#include "platform/Url.h"

namespace vuko {

class Defaults;

namespace Settings {

// The service's public server and the example host of a company's own server
// (shown as a hint where an address is typed).
inline constexpr const char* kPublicServer = "https://app.vuko.example";
inline constexpr const char* kExampleCompanyHost = "tasks.company.example";
inline constexpr std::size_t kRecentLimit = 8;

Defaults& d();

const Url& publicServer();

Url server();
void setServer(const Url& address);

std::vector<std::string> recent();
void setRecent(const std::vector<std::string>& list);

bool dockBadge();
void setDockBadge(bool on);

bool isPublic();

// An absolute URL on the server in use (the server itself when path is unusable).
Url url(const std::string& path);

std::optional<Url> normalize(const std::string& text);

// A test run's server (VUKO_TEST_SERVER, handed down by the wiring), used
// instead of the stored one; none for the stored one. A server chosen while it
// is set is kept in memory only, the stored key untouched.
void useTestServer(std::optional<Url> address);
// Forgets the in-memory choice made over the test server (tests start each
// case afresh).
void resetTestOverride();

}  // namespace Settings
}  // namespace vuko
