// What the main web view may show: the task server's own pages and the
// identity providers' sign-in pages load inside; other web, mail and telephone
// addresses go to the desktop's default handler. Every decision reads the
// server in use at the time of the call.
#pragma once

#include <optional>
#include <set>
#include <string>

#include "platform/Url.h"

namespace vuko::Navigation {

// The identity providers' sign-in hosts, matched as whole host names.
const std::set<std::string>& authHosts();

// The address is one of the client's own pages (the server in use, or an
// about:, blob: or data: address).
bool isOurs(const std::optional<Url>& url);

// An https page on one of authHosts().
bool isAuthPage(const std::optional<Url>& url);

enum class Decision { allow, cancel, download };

struct ActionOutcome {
  Decision decision;
  // Hand the URL to the default handler (the navigation is then cancelled).
  bool openExternally;
  bool operator==(const ActionOutcome&) const = default;
};

// The frame a navigation is for, as far as the web view tells it.
enum class Frame {
  main,
  embedded,
  // A frame the web view does not name: the main frame or an embedded one.
  unnamed,
  // No frame: a link or script opening a new window.
  none,
};

// url: none when the request has no URL. userGesture: the user's click or key
// started the navigation.
ActionOutcome decideAction(const std::optional<Url>& url, bool isDownloadRequest, Frame frame,
                           bool userGesture = false);

// A main-frame load of url failed at its start. An address the web view
// cannot show and that was let through because its frame was unnamed was the
// page's own: it leaves now.
bool leavesAfterFailedLoad(const std::optional<Url>& url);

// contentDisposition: empty when the response is not HTTP or has no such header.
Decision decideResponse(bool canShowMimeType, const std::string& contentDisposition);

enum class NewWindow { loadHere, openExternally, ignore };

// A request for a new window never gets one: ours loads in the asking view;
// about:, blob:, data:, javascript: and file: addresses are dropped.
NewWindow decideNewWindow(const std::optional<Url>& url);

// Whether a page is on the host of the server in use (host equality in any
// letter case; a page without an address and a server without a host count
// as equal).
bool isServerHost(const std::optional<Url>& page);

// A finished load of the server's "/login" page, which means the user is
// signed out. Never for the offline page.
bool isSignInPage(const std::optional<Url>& current, bool offline);

// Whether a bridge message posted by the page at pageUrl may be acted on.
bool trustsMessagesFrom(const std::optional<Url>& pageUrl, bool offline);

}  // namespace vuko::Navigation
