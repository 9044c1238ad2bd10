// The main window: the task server's web application in a web view, the page
// bridge, the navigation policy, downloads and the page's dialogs.
#pragma once

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/Clock.h"
#include "platform/Task.h"
#include "platform/Url.h"
#include "platform/gtk/GObjectPtr.h"
#include "web/Hibernation.h"
#include "web/MainPage.h"
#include "web/PageMessages.h"
#include "web/WebView.h"
#include "web/gtk/MainWindow.h"

namespace vuko {

class Downloads;
class Hotkeys;
class PageDialogs;
class SnapshotCover;
class WebController;

// What a second web view needs to share the main one's web process, data
// store, settings and page bridge.
class WebConfig {
 public:
  explicit WebConfig(WebController* owner) : owner_(owner) {}
  // A new web view related to the main one, with the bridge installed and its
  // messages handled by the controller.
  WebKitWebView* createView() const;

 private:
  WebController* owner_;
};

class WebController {
 public:
  // inMemory: web data and cookies are not kept (a test run). hidden: the
  // window starts hidden and its page asleep, made when it first shows.
  // shown: the window a start already put on screen with the last page's
  // picture; made here when there is none.
  explicit WebController(bool inMemory = false, bool hidden = false,
                         std::unique_ptr<MainWindow> shown = nullptr);
  ~WebController();
  WebController(const WebController&) = delete;
  WebController& operator=(const WebController&) = delete;

  GtkWindow* window() const { return GTK_WINDOW(window_); }
  // The main view, made now if the start has not made it yet.
  WebKitWebView* webView() {
    makeEngine();
    return webView_;
  }
  const WebConfig& sharedConfig() const { return sharedConfig_; }
  bool offline() const { return page_.offline(); }

  // Probes the server, then loads path on it or shows the offline page.
  void open(const std::string& path);
  // Loads path on the current server at once.
  void load(const std::string& path);
  // Brings the window forward and navigates, through the page's router when
  // the server's page is loaded. activationToken: what the desktop handed
  // over with the user's request from outside (a notification click).
  void go(const std::string& path, const std::string& activationToken = {});
  // eventTime: the window system's time of the user's action that asks for
  // the window (a hot-key press), or 0 for now.
  void show(std::uint32_t eventTime = GDK_CURRENT_TIME);
  void reload();
  // Keeps a picture of the page for the next start when it is one worth
  // showing again; done runs once, soon, whatever happens.
  void keepSnapshot(std::function<void()> done);
  bool showsSnapshot() const;
  // The signed-in user's bearer token from the page's local storage. A token
  // that has gone from the server's page is reported as a sign-out. While the
  // page sleeps, the one last read is given; it is kept in memory only.
  Task<std::optional<std::string>> token();
  // What token() gives while the page sleeps, until the page is read.
  void lendToken(std::string token) { lastToken_ = std::move(token); }
  // The pomodoro window shows a page of the main page's web process.
  void setPomodoroOpen(bool open);
  // Whether the web process has been ended until the window shows again.
  bool hibernated() const { return hibernation_.asleep(); }

  void setNotifyPermission(const std::string& permission, bool answer = false);
  void setNativeReminders(bool on);
  void sendHotkeys();

  // Runs a script in the main page; the result is dropped.
  void evaluate(const std::string& script);
  // Runs a script in a page and gives its result as JSON (none on failure).
  static Future<std::optional<nlohmann::json>> evaluateJson(WebKitWebView* view,
                                                            const std::string& script);
  // The address of the page a view shows, if any.
  static std::optional<Url> pageUrl(WebKitWebView* view);

  Hotkeys* hotkeys = nullptr;
  std::function<void()> onChooseServer;
  std::function<void()> onTasksChanged;
  std::function<void(const std::string& title, const std::string& body, const std::string& tag)>
      onNotify;
  std::function<void()> onAskPermission;
  std::function<void()> onLoggedOut;
  // The page's token, each time it is read.
  std::function<void(const std::string&)> onToken;
  // The engine is about to go while the page sleeps: views made from
  // sharedConfig() must go first.
  std::function<void()> onEngineDropping;

 private:
  friend class WebConfig;

  // Brings the window forward with the desktop's activation token, or with
  // the time of the user's last input.
  void present(const std::string& activationToken);
  void setUpContext(bool inMemory);
  // Makes the engine's context and the main view; once.
  void makeEngine();
  // Makes them once the stored picture, if one shows, has been drawn.
  void makeEngineBehindPicture();
  // Disconnects from the engine's objects and drops the downloads and
  // dialogs that use them.
  void cutOffEngine();
  // Ends the engine's processes and frees its objects; the next need of the
  // view makes them again.
  void dropEngine();
  void setUpWindow(bool hidden, std::unique_ptr<MainWindow> shown);
  // The window was shown or hidden.
  void windowShown(bool shown);
  void setUpHibernation(bool asleep);
  void sleep();
  void wake();
  WebKitWebView* makeView(WebKitWebView* related);
  void installBridge();
  void connectNavigation();
  // What loads inside, what leaves for the default handler and what becomes a
  // download: the same for every view the controller makes.
  static void attachPolicy(WebKitWebView* view);

  void handleMessage(WebKitWebView* from, const nlohmann::json& body);
  // The router's handlers: the callbacks the wiring set and the hot keys, as
  // they are when a message arrives.
  PageMessages::Handlers messageHandlers();

  // Navigation policy.
  static gboolean decidePolicy(WebKitPolicyDecision* decision, WebKitPolicyDecisionType type);
  void loadChanged(WebKitLoadEvent event);
  void uriChanged();
  gboolean loadFailed(WebKitLoadEvent event, const char* uri, GError* error);

  bool inMemory_;
  // A page to load once the engine is made.
  std::optional<Url> pendingLoad_;
  GtkWidget* window_ = nullptr;
  WebKitWebView* webView_ = nullptr;
  GObjectPtr<WebKitWebContext> context_;
  GObjectPtr<WebKitSettings> settings_;
  std::vector<GObjectPtr<WebKitUserContentManager>> managers_;
  WebConfig sharedConfig_{this};
  std::unique_ptr<Downloads> downloads_;
  std::unique_ptr<PageDialogs> dialogs_;
  std::unique_ptr<SnapshotCover> cover_;
  // What the last read of the page's token found.
  std::optional<std::string> lastToken_;
  Hibernation hibernation_{Clock::main()};
  // The web process has been ended; the address it showed.
  bool ended_ = false;
  std::optional<Url> sleptAt_;
  Lifetime life_;

  // The main view as the page-loading rules see it.
  class PageView final : public WebView {
   public:
    explicit PageView(WebController& owner) : owner_(owner) {}
    void loadUrl(const Url& url) override;
    void loadHtml(const std::string& html) override;
    Future<std::optional<nlohmann::json>> evaluate(const std::string& script) override;
    std::optional<Url> currentUrl() const override;
    void stop() override;
    void reload() override;

   private:
    WebController& owner_;
  };
  PageView pageView_{*this};
  MainPage page_;
  PageMessages messages_{messageHandlers()};
};

}  // namespace vuko
