// Navigation policy of the client's web views: what loads inside, what leaves for
// the desktop's default handler, what becomes a download.
#include <libsoup/soup.h>

#include "platform/Http.h"
#include "platform/Workspace.h"
#include "server/NetworkText.h"
#include "web/NavigationPolicy.h"
#include "web/gtk/WebController.h"

namespace vuko {

namespace {

std::optional<Url> requestUrl(WebKitURIRequest* request) {
  const char* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
  if (!uri || !*uri) return std::nullopt;
  return Url::parse(uri);
}

// The web view names its main resource (the main frame's document) as soon as
// its load starts, and again after each redirect: this is where a foreign page
// that was let through for a possible embedded frame is caught for the main
// frame, before anything of it is shown. The window keeps its page.
void leaveIfForeign(WebKitWebView* view, WebKitWebResource* resource, WebKitURIRequest* request) {
  if (resource != webkit_web_view_get_main_resource(view)) return;
  auto url = requestUrl(request);
  if (!url || !Navigation::decideAction(url, false, Navigation::Frame::main).openExternally) return;
  webkit_web_view_stop_loading(view);
  Workspace::openUrl(url->str());
}

}  // namespace

void WebController::attachPolicy(WebKitWebView* view) {
  // No data in these four: they touch only the view, which holds them, and
  // the redirect handler is tied to the view by g_signal_connect_object.
  g_signal_connect(
      view, "resource-load-started",
      G_CALLBACK(
          +[](WebKitWebView* v, WebKitWebResource* resource, WebKitURIRequest* request, gpointer) {
            if (resource != webkit_web_view_get_main_resource(v)) return;
            g_signal_connect_object(resource, "sent-request",
                                    G_CALLBACK(+[](WebKitWebResource* r, WebKitURIRequest* redirect,
                                                   WebKitURIResponse* redirected, gpointer data) {
                                      if (redirected)
                                        leaveIfForeign(WEBKIT_WEB_VIEW(data), r, redirect);
                                    }),
                                    v, G_CONNECT_DEFAULT);
            leaveIfForeign(v, resource, request);
          }),
      nullptr);
  // The engine cancels a main-frame load of an address it cannot show; the
  // view's own handlers still see the failure and know it for one that left.
  g_signal_connect(view, "load-failed",
                   G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, gchar* uri, GError*,
                                  gpointer) -> gboolean {
                     auto url = uri ? Url::parse(uri) : std::nullopt;
                     if (event == WEBKIT_LOAD_STARTED && Navigation::leavesAfterFailedLoad(url))
                       Workspace::openUrl(url->str());
                     return FALSE;
                   }),
                   nullptr);
  g_signal_connect(
      view, "decide-policy",
      G_CALLBACK(+[](WebKitWebView*, WebKitPolicyDecision* d, WebKitPolicyDecisionType t,
                     gpointer) { return decidePolicy(d, t); }),
      nullptr);
  // A new window is never made: our pages open here, others outside.
  g_signal_connect(
      view, "create",
      G_CALLBACK(+[](WebKitWebView* v, WebKitNavigationAction* action, gpointer) -> GtkWidget* {
        WebKitURIRequest* request = webkit_navigation_action_get_request(action);
        auto url = requestUrl(request);
        switch (Navigation::decideNewWindow(url)) {
          case Navigation::NewWindow::loadHere:
            webkit_web_view_load_request(v, request);
            break;
          case Navigation::NewWindow::openExternally:
            Workspace::openUrl(url->str());
            break;
          case Navigation::NewWindow::ignore:
            break;
        }
        return nullptr;
      }),
      nullptr);
}

void WebController::connectNavigation() {
  // The controller destroys the main view in its destructor, after which no
  // signal reaches these handlers.
  g_signal_connect(webView_, "load-changed",
                   G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent e, gpointer self) {
                     static_cast<WebController*>(self)->loadChanged(e);
                   }),
                   this);
  g_signal_connect(
      webView_, "load-failed",
      G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent e, gchar* uri, GError* error, gpointer self) {
        return static_cast<WebController*>(self)->loadFailed(e, uri, error);
      }),
      this);
  g_signal_connect(webView_, "notify::uri",
                   G_CALLBACK(+[](WebKitWebView*, GParamSpec*, gpointer self) {
                     static_cast<WebController*>(self)->uriChanged();
                   }),
                   this);
  g_signal_connect(webView_, "load-failed-with-tls-errors",
                   G_CALLBACK(+[](WebKitWebView*, gchar*, GTlsCertificate*, GTlsCertificateFlags,
                                  gpointer self) {
                     auto* c = static_cast<WebController*>(self);
                     c->page_.showOffline(networkFailureText(TransportError::Kind::certificate));
                     return TRUE;
                   }),
                   this);
}

gboolean WebController::decidePolicy(WebKitPolicyDecision* decision,
                                     WebKitPolicyDecisionType type) {
  if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) {
    auto* d = WEBKIT_RESPONSE_POLICY_DECISION(decision);
    // Should a foreign page's answer beat the stop of its load, the page still
    // never shows: it went to the default handler when its load started.
    if (webkit_response_policy_decision_is_main_frame_main_resource(d) &&
        Navigation::decideAction(requestUrl(webkit_response_policy_decision_get_request(d)), false,
                                 Navigation::Frame::main)
            .openExternally) {
      webkit_policy_decision_ignore(decision);
      return TRUE;
    }
    WebKitURIResponse* response = webkit_response_policy_decision_get_response(d);
    std::string disposition;
    if (SoupMessageHeaders* h = webkit_uri_response_get_http_headers(response))
      if (const char* v = soup_message_headers_get_one(h, "Content-Disposition")) disposition = v;
    bool canShow = webkit_response_policy_decision_is_mime_type_supported(d);
    if (Navigation::decideResponse(canShow, disposition) == Navigation::Decision::download)
      webkit_policy_decision_download(decision);
    else
      webkit_policy_decision_use(decision);
    return TRUE;
  }

  auto* d = WEBKIT_NAVIGATION_POLICY_DECISION(decision);
  WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(d);
  auto url = requestUrl(webkit_navigation_action_get_request(action));
  // New-window requests have no target frame. Navigations of the main frame
  // and of embedded frames arrive here alike, with nothing that tells them
  // apart: a main-frame load of a foreign page is stopped as it starts
  // (leaveIfForeign), one of an address the view cannot show fails at once
  // and leaves then (load-failed above).
  auto frame = type == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION ? Navigation::Frame::unnamed
                                                                     : Navigation::Frame::none;
  auto outcome =
      Navigation::decideAction(url, false, frame, webkit_navigation_action_is_user_gesture(action));
  if (outcome.openExternally && url) Workspace::openUrl(url->str());
  switch (outcome.decision) {
    case Navigation::Decision::allow:
      webkit_policy_decision_use(decision);
      break;
    case Navigation::Decision::cancel:
      webkit_policy_decision_ignore(decision);
      break;
    case Navigation::Decision::download:
      webkit_policy_decision_download(decision);
      break;
  }
  return TRUE;
}

}  // namespace vuko
