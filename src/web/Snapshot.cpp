#include "web/Snapshot.h"

#include "web/NavigationPolicy.h"

namespace vuko::Snapshot {

namespace {
// The address as a server's identity: letter case and a default port do not
// make another server.
std::string identity(const Url& server) {
  std::string id = server.scheme() + "://" + server.lowerHost().value_or("");
  if (auto port = server.portUnlessDefault()) id += ":" + std::to_string(*port);
  return id;
}
}  // namespace

std::string fileName(const Url& server) {
  std::string name = "snapshot-";
  for (char c : identity(server)) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.';
    name += plain ? c : '_';
  }
  return name + ".png";
}

Keeping onLeave(const std::optional<Url>& page, bool offline, bool loading) {
  if (Navigation::isSignInPage(page, offline)) return Keeping::forget;
  if (offline || loading || !page) return Keeping::leave;
  if (page->scheme() != "http" && page->scheme() != "https") return Keeping::leave;
  return Navigation::isOurs(page) ? Keeping::save : Keeping::leave;
}

bool fits(const std::string& storedServer, const Url& server, int imageWidth, int imageHeight,
          int windowWidth, int windowHeight, int scale) {
  auto stored = Url::parse(storedServer);
  // File names fold characters, so two servers may share one: the address
  // saved inside tells them apart.
  if (!stored || identity(*stored) != identity(server)) return false;
  return scale > 0 && imageWidth == windowWidth * scale && imageHeight == windowHeight * scale;
}

}  // namespace vuko::Snapshot
