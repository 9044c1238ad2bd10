#include "web/gtk/WebController.h"

#include <filesystem>

#include "platform/ActivationToken.h"
#include "platform/BenchMarks.h"
#include "platform/Http.h"
#include "platform/WindowFocus.h"
#include "server/HttpTaskApi.h"
#include "server/NetworkText.h"
#include "server/Settings.h"
#include "web/Bridge.h"
#include "web/BridgeFrames.h"
#include "web/NavigationPolicy.h"
#include "web/Snapshot.h"
#include "web/gtk/Downloads.h"
#include "web/gtk/MainWindow.h"
#include "web/gtk/PageDialogs.h"
#include "web/gtk/SnapshotCover.h"

// After the client's headers: the X11 headers define None and Status.
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

namespace vuko {

namespace {

std::string describeLoadError(GError* error) {
  if (error->domain == WEBKIT_POLICY_ERROR) return "Этот адрес не удаётся открыть в программе.";
  if (g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_UNKNOWN_PROTOCOL))
    return "Адрес с неподдерживаемой схемой.";
  return networkFailureText(networkErrorKind(error->domain, error->code));
}

bool softwareRenderingOnly() {
  // Without a GPU render node WebKit composites in software, where the
  // accelerated path only costs memory and start-up time.
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator("/dev/dri", ec))
    if (e.path().filename().string().rfind("renderD", 0) == 0) return false;
  return true;
}

}  // namespace

WebController::WebController(bool inMemory, bool hidden, std::unique_ptr<MainWindow> shown)
    : inMemory_(inMemory),
      page_(
          pageView_, [](Url u) { return HttpTaskApi::checkServer(std::move(u)); },
          networkFailureText(TransportError::Kind::timedOut)) {
  setUpWindow(hidden, std::move(shown));
  // Hidden, the page starts as after a sleep, without even the engine: no
  // web process and no network process run until the window first shows.
  if (hidden) {
    ended_ = true;
    return;
  }
  // The server's probe runs while the window and the engine are set up; the
  // page loads once both are done.
  page_.open("/today");
  makeEngineBehindPicture();
}

void WebController::makeEngineBehindPicture() {
  // With the last page's picture on screen, the engine is set up only once
  // that picture has been drawn (at once without one): it takes longer than
  // the rest of the start.
  cover_->picture().whenShown([this] { makeEngine(); });
}

void WebController::makeEngine() {
  if (webView_) return;
  setUpContext(inMemory_);
  webView_ = makeView(nullptr);
  cover_->setView(webView_);
  gtk_widget_show(GTK_WIDGET(webView_));
  connectNavigation();
  dialogs_ = std::make_unique<PageDialogs>(webView_, window());
  downloads_ = std::make_unique<Downloads>(context_.get(), window());
  // A crash reloads the page; an ended sleep waits for the window.
  g_signal_connect(
      webView_, "web-process-terminated",
      G_CALLBACK(+[](WebKitWebView* v, WebKitWebProcessTerminationReason, gpointer self) {
        if (!static_cast<WebController*>(self)->ended_) webkit_web_view_reload(v);
      }),
      this);
  BenchMarks::mark("engine-made");
  if (auto url = std::exchange(pendingLoad_, std::nullopt)) pageView_.loadUrl(*url);
}

WebController::~WebController() {
  // Everything that may still call back into this controller is cut off
  // first: the engine's side, the network monitor, then the widgets.
  cutOffEngine();
  g_signal_handlers_disconnect_by_data(g_network_monitor_get_default(), this);
  if (window_) {
    g_signal_handlers_disconnect_by_data(window_, this);
    gtk_widget_destroy(window_);
  }
}

void WebController::setUpContext(bool inMemory) {
  WebKitWebsiteDataManager* data;
  if (inMemory) {
    data = webkit_website_data_manager_new_ephemeral();
  } else {
    auto dataDir = std::filesystem::path(g_get_user_data_dir()) / "vuko" / "web";
    auto cacheDir = std::filesystem::path(g_get_user_cache_dir()) / "vuko" / "web";
    data = webkit_website_data_manager_new("base-data-directory", dataDir.c_str(),
                                           "base-cache-directory", cacheDir.c_str(), nullptr);
    // Cookies are kept in memory unless given a file; sign-ins must survive.
    std::filesystem::create_directories(dataDir);
    webkit_cookie_manager_set_persistent_storage(
        webkit_website_data_manager_get_cookie_manager(data), (dataDir / "cookies.sqlite").c_str(),
        WEBKIT_COOKIE_PERSISTENT_STORAGE_SQLITE);
  }
  context_ = GObjectPtr<WebKitWebContext>::adopt(WEBKIT_WEB_CONTEXT(
      g_object_new(WEBKIT_TYPE_WEB_CONTEXT, "website-data-manager", data, nullptr)));
  g_object_unref(data);

  settings_ = GObjectPtr<WebKitSettings>::adopt(webkit_settings_new());
  webkit_settings_set_user_agent_with_application_details(settings_.get(), "VukoMac", "1.0");
  webkit_settings_set_enable_fullscreen(settings_.get(), TRUE);
  webkit_settings_set_enable_back_forward_navigation_gestures(settings_.get(), TRUE);
  webkit_settings_set_javascript_can_open_windows_automatically(settings_.get(), TRUE);
  if (softwareRenderingOnly())
    webkit_settings_set_hardware_acceleration_policy(settings_.get(),
                                                     WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
}

WebKitWebView* WebController::makeView(WebKitWebView* related) {
  auto manager = GObjectPtr<WebKitUserContentManager>::adopt(webkit_user_content_manager_new());
  // Each view gets its own content manager so that a bridge message can be
  // traced to the page that sent it; the related view still shares the web
  // process and the data store.
  webkit_user_content_manager_register_script_message_handler_in_world(
      manager.get(), Bridge::kHandlerName, Bridge::kWorldName);
  g_object_set_data(G_OBJECT(manager.get()), "vuko-controller", this);
  auto* view = WEBKIT_WEB_VIEW(
      related ? g_object_new(WEBKIT_TYPE_WEB_VIEW, "related-view", related, "settings",
                             settings_.get(), "user-content-manager", manager.get(), nullptr)
              : g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context_.get(), "settings",
                             settings_.get(), "user-content-manager", manager.get(), nullptr));
  g_object_set_data(G_OBJECT(manager.get()), "vuko-view", view);
  attachPolicy(view);
  // The controller owns the manager and disconnects from it in its destructor.
  g_signal_connect(
      manager.get(), (std::string("script-message-received::") + Bridge::kHandlerName).c_str(),
      G_CALLBACK(+[](WebKitUserContentManager* m, WebKitJavascriptResult* result, gpointer self) {
        auto* from = static_cast<WebKitWebView*>(g_object_get_data(G_OBJECT(m), "vuko-view"));
        JSCValue* value = webkit_javascript_result_get_js_value(result);
        gchar* json = jsc_value_to_json(value, 0);
        auto body = nlohmann::json::parse(json ? json : "", nullptr, false);
        g_free(json);
        static_cast<WebController*>(self)->handleMessage(from, body);
      }),
      this);
  managers_.push_back(std::move(manager));
  installBridge();
  return view;
}

WebKitWebView* WebConfig::createView() const {
  return owner_->makeView(owner_->webView());
}

void WebController::setUpWindow(bool hidden, std::unique_ptr<MainWindow> shown) {
  MainWindow made = shown ? std::move(*shown) : MainWindow::make(!hidden);
  window_ = made.window;
  cover_ = std::make_unique<SnapshotCover>(std::move(made.cover));
  // The page as the user left it is what the next start shows first.
  g_signal_connect(window_, "hide", G_CALLBACK(+[](GtkWidget*, gpointer self) {
                     static_cast<WebController*>(self)->keepSnapshot([] {});
                   }),
                   this);
  setUpHibernation(hidden);
  g_signal_connect(g_network_monitor_get_default(), "network-changed",
                   G_CALLBACK(+[](GNetworkMonitor*, gboolean available, gpointer self) {
                     static_cast<WebController*>(self)->page_.networkChanged(available);
                   }),
                   this);
}

std::optional<Url> WebController::pageUrl(WebKitWebView* view) {
  const char* uri = view ? webkit_web_view_get_uri(view) : nullptr;
  if (!uri) return std::nullopt;
  return Url::parse(uri);
}

void WebController::open(const std::string& path) {
  page_.open(path);
}

void WebController::load(const std::string& path) {
  page_.load(path);
}

void WebController::go(const std::string& path, const std::string& activationToken) {
  present(activationToken);
  page_.go(path);
}

void WebController::show(std::uint32_t eventTime) {
  // A hidden window is mapped with the time as its user time, a shown one is
  // activated with it: either way the window manager sees that the user has
  // just asked for it and lets it take the focus. A Wayland desktop gives the
  // focus for the token its shortcut came with instead.
  if (auto token = ActivationToken::take(); !token.empty())
    gtk_window_set_startup_id(window(), token.c_str());
  gtk_window_present_with_time(window(), eventTime);
}

void WebController::present(const std::string& activationToken) {
  GtkWindow* w = window();
  if (!activationToken.empty()) {
    // The desktop grants the focus for the request it handed this token with.
    WindowFocus::present(w, activationToken);
    return;
  }
  // "Now" is refused by focus-stealing prevention; the time of the user's
  // last input the client saw is what it can honestly claim.
  guint32 time = GDK_CURRENT_TIME;
#ifdef GDK_WINDOWING_X11
  GdkDisplay* display = gtk_widget_get_display(GTK_WIDGET(w));
  if (GDK_IS_X11_DISPLAY(display)) time = gdk_x11_display_get_user_time(display);
#endif
  gtk_window_present_with_time(w, time);
}

void WebController::keepSnapshot(std::function<void()> done) {
  // Nothing has loaded yet: the stored picture stays as it is.
  if (!webView_) return done();
  const auto keeping =
      Snapshot::onLeave(pageUrl(webView_), offline(), webkit_web_view_is_loading(webView_));
  if (keeping == Snapshot::Keeping::save && !cover_->covering()) {
    cover_->save(std::move(done));
    return;
  }
  if (keeping == Snapshot::Keeping::forget) cover_->picture().forget();
  done();
}

bool WebController::showsSnapshot() const {
  return cover_->covering();
}

void WebController::reload() {
  page_.reload();
}

void WebController::evaluate(const std::string& script) {
  // An ended or not yet made page gets the client's state afresh when it
  // loads.
  if (ended_ || !webView_) return;
  webkit_web_view_evaluate_javascript(webView_, script.c_str(), -1, nullptr, nullptr, nullptr,
                                      nullptr, nullptr);
}

Future<std::optional<nlohmann::json>> WebController::evaluateJson(WebKitWebView* view,
                                                                  const std::string& script) {
  using Resolver = Future<std::optional<nlohmann::json>>::Resolver;
  Future<std::optional<nlohmann::json>> result;
  webkit_web_view_evaluate_javascript(
      view, script.c_str(), -1, nullptr, nullptr, nullptr,
      [](GObject* src, GAsyncResult* res, gpointer p) {
        std::unique_ptr<Resolver> resolve(static_cast<Resolver*>(p));
        GError* error = nullptr;
        JSCValue* value =
            webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(src), res, &error);
        if (!value) {
          g_clear_error(&error);
          (*resolve)(std::nullopt);
          return;
        }
        std::optional<nlohmann::json> out;
        if (jsc_value_is_undefined(value)) {
          out = std::nullopt;
        } else {
          gchar* json = jsc_value_to_json(value, 0);
          if (json) {
            auto parsed = nlohmann::json::parse(json, nullptr, false);
            if (!parsed.is_discarded()) out = std::move(parsed);
          }
          g_free(json);
        }
        g_object_unref(value);
        (*resolve)(std::move(out));
      },
      new Resolver(result.resolver()));
  return result;
}

void WebController::loadChanged(WebKitLoadEvent event) {
  switch (event) {
    case WEBKIT_LOAD_STARTED:
      page_.loadStarted();
      break;
    case WEBKIT_LOAD_COMMITTED:
      BenchMarks::mark("page-committed");
      page_.loadCommitted();
      cover_->pageCommitted();
      break;
    case WEBKIT_LOAD_FINISHED:
      if (page_.loadFinished()) {
        lastToken_.reset();
        if (onLoggedOut) onLoggedOut();
      }
      break;
    default:
      break;
  }
}

void WebController::uriChanged() {
  // The page may reach its sign-in page without a load (history.pushState);
  // a load is told when it finishes.
  if (webkit_web_view_is_loading(webView_)) return;
  if (Navigation::isSignInPage(pageUrl(webView_), offline())) {
    lastToken_.reset();
    if (onLoggedOut) onLoggedOut();
  }
}

gboolean WebController::loadFailed(WebKitLoadEvent event, const char* uri, GError* error) {
  using F = MainPage::Failure;
  auto failure = F::other;
  if (g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED))
    failure = F::cancelled;
  else if (g_error_matches(error, WEBKIT_POLICY_ERROR,
                           WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE) ||
           g_error_matches(error, WEBKIT_DOWNLOAD_ERROR, WEBKIT_DOWNLOAD_ERROR_CANCELLED_BY_USER))
    failure = F::userChoice;
  page_.loadFailed(event == WEBKIT_LOAD_STARTED || event == WEBKIT_LOAD_REDIRECTED,
                   uri ? Url::parse(uri) : std::nullopt, failure, describeLoadError(error));
  // Every failure is answered as handled: otherwise the engine puts its own
  // error text in place of the page.
  return TRUE;
}

void WebController::PageView::loadUrl(const Url& url) {
  // The picture is drawn before the engine is made.
  if (!owner_.webView_ && owner_.cover_->picture().awaitingDraw()) {
    owner_.pendingLoad_ = url;
    return;
  }
  BenchMarks::mark("load-started");
  webkit_web_view_load_uri(owner_.webView(), url.str().c_str());
}

void WebController::PageView::loadHtml(const std::string& html) {
  // Only the offline page is loaded from text; it replaces the old picture
  // at once.
  owner_.cover_->picture().uncover();
  owner_.pendingLoad_.reset();
  webkit_web_view_load_html(owner_.webView(), html.c_str(), nullptr);
}

Future<std::optional<nlohmann::json>> WebController::PageView::evaluate(const std::string& script) {
  return evaluateJson(owner_.webView(), script);
}

std::optional<Url> WebController::PageView::currentUrl() const {
  return pageUrl(owner_.webView_);
}

void WebController::PageView::stop() {
  owner_.pendingLoad_.reset();
  if (owner_.webView_) webkit_web_view_stop_loading(owner_.webView_);
}

void WebController::PageView::reload() {
  webkit_web_view_reload(owner_.webView());
}

}  // namespace vuko
