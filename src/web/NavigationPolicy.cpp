#include "web/NavigationPolicy.h"

#include <algorithm>
#include <cctype>

#include "server/Settings.h"

namespace vuko::Navigation {

const std::set<std::string>& authHosts() {
  static const std::set<std::string> hosts{
      "passport.yandex.ru",
      "passport.yandex.com",
      "oauth.yandex.ru",
      "oauth.yandex.com",
      "sso.passport.yandex.ru",
      "sso.yandex.ru",

      "id.vk.com",
      "id.vk.ru",
      "oauth.vk.com",
      "login.vk.com",
      "login.vk.ru",

      "accounts.google.com",
      "accounts.google.ru",
      "accounts.youtube.com",
      "gds.google.com",
  };
  return hosts;
}

bool isOurs(const std::optional<Url>& url) {
  if (!url) return false;
  const std::string& scheme = url->scheme();
  if (scheme == "about" || scheme == "blob" || scheme == "data") return true;
  // Compared in the form the web engine reports pages in, which a server
  // address stored by an older version may not have.
  const Url server = Settings::server();
  return url->lowerHost() == server.lowerHost() &&
         url->portUnlessDefault() == server.portUnlessDefault();
}

bool isAuthPage(const std::optional<Url>& url) {
  if (!url || url->scheme() != "https" || !url->host()) return false;
  return authHosts().contains(*url->host());
}

namespace {
bool isWeb(const Url& url) {
  return url.scheme() == "http" || url.scheme() == "https";
}
}  // namespace

ActionOutcome decideAction(const std::optional<Url>& url, bool isDownloadRequest, Frame frame,
                           bool userGesture) {
  if (isDownloadRequest) return {Decision::download, false};
  if (!url || isOurs(url) || isAuthPage(url)) return {Decision::allow, false};
  const std::string& scheme = url->scheme();
  if (scheme == "javascript") return {Decision::allow, false};
  // A page of the server has no business with the user's files, here or in
  // another program.
  if (scheme == "file") return {Decision::cancel, false};
  // Other web pages, mail, telephone and other programs' addresses (meetings,
  // messengers, editors) go to the desktop when the whole page moves; the
  // application stays in place.
  if (frame == Frame::main || frame == Frame::none) return {Decision::cancel, true};
  // Embedded frames of the page may show any web page.
  if (isWeb(*url)) return {Decision::allow, false};
  // Anything else leaves a frame only when the user asked for it: a hidden
  // frame would open mail or another program behind the user's back.
  if (userGesture) return {Decision::cancel, true};
  // An unnamed frame's address is let through: the web view cannot show it,
  // and should the frame be the main one, its failed load hands it on
  // (leavesAfterFailedLoad).
  return {frame == Frame::unnamed ? Decision::allow : Decision::cancel, false};
}

bool leavesAfterFailedLoad(const std::optional<Url>& url) {
  return url && !isWeb(*url) && decideAction(url, false, Frame::main).openExternally;
}

Decision decideResponse(bool canShowMimeType, const std::string& contentDisposition) {
  if (!canShowMimeType) return Decision::download;
  static constexpr std::string_view kAttachment = "attachment";
  if (contentDisposition.size() < kAttachment.size()) return Decision::allow;
  bool attachment = std::equal(
      kAttachment.begin(), kAttachment.end(), contentDisposition.begin(),
      [](char want, char got) { return want == std::tolower(static_cast<unsigned char>(got)); });
  return attachment ? Decision::download : Decision::allow;
}

NewWindow decideNewWindow(const std::optional<Url>& url) {
  if (!url) return NewWindow::ignore;
  // Pages without an address of their own would replace the application.
  const std::string& scheme = url->scheme();
  if (scheme == "about" || scheme == "blob" || scheme == "data" || scheme == "javascript" ||
      scheme == "file")
    return NewWindow::ignore;
  return isOurs(url) ? NewWindow::loadHere : NewWindow::openExternally;
}

bool isServerHost(const std::optional<Url>& page) {
  return (page ? page->lowerHost() : std::nullopt) == Settings::server().lowerHost();
}

bool isSignInPage(const std::optional<Url>& current, bool offline) {
  if (offline || !current || !isServerHost(current)) return false;
  return current->path() == "/login";
}

// The bootstrap script runs in every main-frame page, sign-in pages of the
// identity providers included, so their messages must not drive the client.
// The offline page is loaded from a string without a base address and shows
// up as about:blank or with no address at all.
bool trustsMessagesFrom(const std::optional<Url>& pageUrl, bool offline) {
  if (!pageUrl) return offline;
  return isOurs(pageUrl);
}

}  // namespace vuko::Navigation
