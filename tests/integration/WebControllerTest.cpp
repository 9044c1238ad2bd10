// The main window's web view against a task server: the token, what the
// engine does on failures and crashes, and which pages and frames may drive
// the client through the page bridge (what each message does is unit-tested,
// what the bootstrap gives the page is in the end-to-end run).
#include "support/Processes.h"
#include "support/WebFixture.h"
#include "web/NavigationPolicy.h"
#include "web/gtk/PictureCover.h"

#include <filesystem>
#include <fstream>
#include <functional>

// After the test headers: the X11 headers define None and Status.
#include <gdk/gdkx.h>

using namespace vuko;
using namespace vuko::test;
using nlohmann::json;

namespace {

// Everything a foreign frame could try: the handler as pages use it, a
// message shaped like the shim's own, and the same through the top window.
const char* kForeignFrame =
    "<!doctype html><script>"
    "const tries = [];"
    "const attempt = (f) => { try { f(); tries.push('sent'); } catch (e) { tries.push(e.name); } };"
    "const m = {type: 'notify', title: 'Чужой', body: 'из фрейма'};"
    "attempt(() => window.webkit.messageHandlers.vuko.postMessage(m));"
    "attempt(() => top.postMessage({vukoBridge: m}, '*'));"
    "attempt(() => top.webkit.messageHandlers.vuko.postMessage(m));"
    "top.postMessage({frameDone: tries}, '*');"
    "</script>";

// Counts emissions of a web view signal whatever its handlers return.
class EmissionCounter {
 public:
  explicit EmissionCounter(const char* signal)
      : id_(g_signal_lookup(signal, WEBKIT_TYPE_WEB_VIEW)),
        hook_(g_signal_add_emission_hook(
            id_, 0,
            +[](GSignalInvocationHint*, guint, const GValue*, gpointer n) -> gboolean {
              ++*static_cast<int*>(n);
              return TRUE;
            },
            &count, nullptr)) {}
  ~EmissionCounter() { g_signal_remove_emission_hook(id_, hook_); }
  int count = 0;

 private:
  guint id_;
  gulong hook_;
};

class WebControllerTest : public WebFixture {
 protected:
  void listen() {
    controller->onNotify = [this](const std::string& t, const std::string&, const std::string&) {
      notified.push_back(t);
    };
    controller->onTasksChanged = [this] { ++tasksChanged; };
    controller->onChooseServer = [this] { ++chooseServer; };
  }

  std::vector<std::string> notified;
  int tasksChanged = 0, chooseServer = 0;
};

TEST_F(WebControllerTest, TokenComesFromLocalStorageAndItsLossIsASignOut) {
  start();
  int signedOut = 0;
  controller->onLoggedOut = [&] { ++signedOut; };
  EXPECT_EQ(run(controller->token()), std::nullopt);
  eval("localStorage.setItem('token', ''); true");
  EXPECT_EQ(run(controller->token()), std::nullopt);
  EXPECT_EQ(signedOut, 0);
  eval("localStorage.setItem('token', 'abc123'); true");
  EXPECT_EQ(run(controller->token()), std::optional<std::string>("abc123"));
  // A token that disappears from the server's page is a sign-out, told once.
  eval("localStorage.removeItem('token'); true");
  EXPECT_EQ(run(controller->token()), std::nullopt);
  EXPECT_EQ(run(controller->token()), std::nullopt);
  EXPECT_EQ(signedOut, 1);
  // So is a move to the sign-in page without a load.
  eval("history.pushState({}, '', '/calendar'); history.pushState({}, '', '/login'); true");
  EXPECT_TRUE(waitUntil([&] { return signedOut == 2; }));
  eval("true");  // a round trip: the calendar's change has been told too
  EXPECT_EQ(signedOut, 2);
}

TEST_F(WebControllerTest, GoHandsTheActivationTokenToTheWindow) {
  start();
  controller->go("/today", "token-1");
  GtkWidget* w = GTK_WIDGET(controller->window());
  ASSERT_TRUE(waitUntil([&] { return gtk_widget_get_mapped(w); }));
  // On X11 the window carries it as its startup notification id.
  GdkWindow* gdkWindow = gtk_widget_get_window(w);
  Display* x = GDK_WINDOW_XDISPLAY(gdkWindow);
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  XGetWindowProperty(x, GDK_WINDOW_XID(gdkWindow), XInternAtom(x, "_NET_STARTUP_ID", False), 0,
                     1024, False, AnyPropertyType, &type, &format, &count, &after, &data);
  std::string id = data ? std::string(reinterpret_cast<char*>(data), count) : "";
  if (data) XFree(data);
  EXPECT_EQ(id, "token-1");
}

TEST_F(WebControllerTest, AFailureAfterTheFirstAnswerLeavesThePageInPlace) {
  // The page arrives in part, then the connection breaks off.
  server.handle("/cut", [](const Received&) {
    Reply r;
    r.raw =
        "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: 100000\r\n"
        "\r\n<!doctype html><p id=part>Часть страницы</p><!--" +
        std::string(8192, '-');
    r.hold = true;
    return r;
  });
  start();
  EmissionCounter failures("load-failed");
  controller->load("/cut");
  ASSERT_TRUE(waitForValue("document.getElementById('part') !== null", true));
  server.answerHeld({});
  ASSERT_TRUE(waitUntil([&] { return failures.count == 1; }));
  // Anything the engine starts in reply to the failure has reached the web
  // process before this script does.
  eval("true");
  ASSERT_TRUE(waitUntil([&] { return !webkit_web_view_is_loading(controller->webView()); }));
  EXPECT_EQ(uri(), server.url() + "/cut");
  EXPECT_EQ(eval("document.getElementById('part') && document.getElementById('part').textContent"),
            json("Часть страницы"))
      << eval("document.documentElement.outerHTML").value_or(nullptr);
  EXPECT_FALSE(controller->offline());
}

// The offline page counts down in the engine and, once the server is back,
// gives way to the server's page without a click.
TEST_F(WebControllerTest, TheOfflinePageComesBackByItselfWhenTheServerDoes) {
  const int port = TestServer::closedPort();
  Settings::setServer(*Url::parse("http://127.0.0.1:" + std::to_string(port)));
  controller = std::make_unique<WebController>(true);
  ASSERT_TRUE(waitUntil([&] { return controller->offline(); }));
  const std::string left = "(document.getElementById('n') || {}).textContent";
  ASSERT_TRUE(waitForValue(left, "5"));
  ASSERT_TRUE(waitForValue(left, "4"));
  TestServer back(port);
  back.handle("/api/health", [](const Received&) { return healthy(); });
  back.handle("/today", [](const Received&) { return html(todayPage()); });
  EXPECT_TRUE(waitForUri(back.url() + "/today"));
  EXPECT_FALSE(controller->offline());
  controller.reset();
}

TEST_F(WebControllerTest, AWebProcessCrashReloadsThePage) {
  start();
  eval("window.beforeCrash = true; true");
  ASSERT_EQ(requestCount("/today"), 1u);
  webkit_web_view_terminate_web_process(controller->webView());
  ASSERT_TRUE(waitUntil([&] { return requestCount("/today") == 2; }));
  ASSERT_TRUE(waitForUri(server.url() + "/today"));
  EXPECT_TRUE(waitForValue("window.marker", "kept"));
  EXPECT_EQ(eval("typeof window.beforeCrash"), json("undefined"));
  // The web application tells the client's pages by their user agent.
  for (const auto& r : server.received())
    EXPECT_TRUE(r.path != "/today" || r.headers.at("user-agent").ends_with(" VukoMac/1.0"))
        << r.headers.at("user-agent");
}

// A sign-in page shown in the window cannot drive the client; the same page
// served by the task server can.
TEST_F(WebControllerTest, SignInPagesCannotDriveTheClientButOursCan) {
  start();
  listen();
  const std::string signIn = "https://" + *Navigation::authHosts().begin() + "/";
  const std::string page = "<script>" + post("{type: 'chooseServer'}") + ";" +
                           post("{type: 'notify', title: 'page'}") +
                           "; window.posted = true;</script>";
  webkit_web_view_load_html(controller->webView(), page.c_str(), signIn.c_str());
  ASSERT_TRUE(waitForUri(signIn));
  ASSERT_EQ(eval("window.posted"), json(true));
  eval(post("{type: 'tasksChanged'}"));

  // Messages arrive in order, so the sign-in page's would have come before
  // the last one here.
  ASSERT_TRUE(showPage("/ours", page));
  eval("new Notification('last'); true");
  ASSERT_TRUE(waitUntil([&] { return !notified.empty() && notified.back() == "last"; }));
  EXPECT_EQ(notified, (std::vector<std::string>{"page", "last"}));
  EXPECT_EQ(chooseServer, 1);
  EXPECT_EQ(tasksChanged, 0);
}

TEST_F(WebControllerTest, ACrossOriginFrameCannotPostWhileTheTopPageCan) {
  TestServer foreign;  // another port: another origin
  foreign.handle("/frame", [](const Received&) { return html(kForeignFrame); });
  start();
  listen();
  ASSERT_TRUE(showPage("/framed",
                       "<!doctype html><body><script>window.frameDone = null;"
                       "addEventListener('message', (e) => { if (e.data && e.data.frameDone)"
                       " window.frameDone = e.data.frameDone; });</script>"
                       "<iframe src='" +
                           foreign.url() + "/frame'></iframe></body>"));
  ASSERT_TRUE(waitUntil([&] {
    auto v = eval("window.frameDone");
    return v && v->is_array();
  })) << "the frame ran";

  // The top page's messages still arrive, after anything the frame sent.
  eval(post("{type: 'notify', title: 'Свой'}"));
  eval(post("{type: 'tasksChanged'}"));
  ASSERT_TRUE(waitUntil([&] { return tasksChanged == 1; }));
  EXPECT_EQ(notified, std::vector<std::string>{"Свой"}) << *eval("window.frameDone");
}

// The page as it was when the window hid is on screen at the next start
// until the live page has painted.
TEST_F(WebControllerTest, TheLastPageShowsAtOnceUntilTheLivePageHasPainted) {
  start();
  GtkWidget* w = GTK_WIDGET(controller->window());
  controller->show();
  ASSERT_TRUE(waitUntil([&] { return gtk_widget_get_mapped(w); }));
  const auto file = PictureCover::file(*Url::parse(server.url()));
  gtk_widget_hide(w);
  ASSERT_TRUE(waitUntil([&] { return std::filesystem::exists(file); }));
  controller.reset();

  // The next start's page is held back: only the picture can be on screen.
  server.handle("/today", [](const Received&) {
    Reply r;
    r.hold = true;
    return r;
  });
  controller = std::make_unique<WebController>(true);
  // The engine, the slow part of a start, is made after the picture is drawn.
  std::function<bool(GtkWidget*)> holdsView = [&](GtkWidget* widget) {
    if (WEBKIT_IS_WEB_VIEW(widget)) return true;
    if (!GTK_IS_CONTAINER(widget)) return false;
    GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
    bool found = false;
    for (GList* c = children; c && !found; c = c->next) found = holdsView(GTK_WIDGET(c->data));
    g_list_free(children);
    return found;
  };
  EXPECT_FALSE(holdsView(GTK_WIDGET(controller->window())));
  controller->show();
  EXPECT_TRUE(controller->showsSnapshot());
  ASSERT_TRUE(waitUntil([&] { return server.heldCount() == 1; }));
  EXPECT_TRUE(holdsView(GTK_WIDGET(controller->window())));
  EXPECT_TRUE(controller->showsSnapshot());
  server.answerHeld(html(todayPage()));
  EXPECT_TRUE(waitUntil([&] { return !controller->showsSnapshot(); }));
  EXPECT_EQ(eval("window.marker"), json("kept"));
}

TEST_F(WebControllerTest, AnUnreadablePictureIsDeleted) {
  const auto file = PictureCover::file(*Url::parse(server.url()));
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file) << "not a picture";
  start();
  EXPECT_FALSE(controller->showsSnapshot());
  EXPECT_FALSE(std::filesystem::exists(file));
}

}  // namespace

// The engine's processes this test process runs (web page, network).
int engineProcesses() {
  int n = 0;
  for (const auto& child : childrenOf(getpid()))
    if (child.state != "Z" && child.name.rfind("WebKit", 0) == 0) ++n;
  return n;
}

// Hidden long enough, the page's engine ends with its processes and comes
// back when the window shows; the token stays readable meanwhile.
TEST_F(WebControllerTest, AHiddenPageSleepsAndWakesOnShow) {
  scope->store->setNumber(Hibernation::kDelayKey, 1);
  start(false);
  eval("localStorage.setItem('token', 'abc123'); true");
  ASSERT_EQ(run(controller->token()), std::optional<std::string>("abc123"));
  EXPECT_EQ(engineProcesses(), 2);
  controller->setNativeReminders(true);
  controller->show();
  GtkWidget* w = GTK_WIDGET(controller->window());
  ASSERT_TRUE(waitUntil([&] { return gtk_widget_get_mapped(w); }));
  gtk_widget_hide(w);
  ASSERT_TRUE(waitUntil([&] { return engineProcesses() == 0; }));
  EXPECT_TRUE(controller->hibernated());
  // Not reloaded behind the user's back.
  spin(std::chrono::milliseconds(300));
  EXPECT_EQ(requestCount("/today"), 1u);
  EXPECT_EQ(run(controller->token()), std::optional<std::string>("abc123"));
  controller->show();
  EXPECT_FALSE(controller->hibernated());
  EXPECT_TRUE(controller->showsSnapshot());
  ASSERT_TRUE(waitUntil([&] { return requestCount("/today") == 2; }));
  EXPECT_TRUE(waitUntil([&] { return !controller->showsSnapshot(); }));
  EXPECT_TRUE(waitForValue("window.marker", "kept"));
  EXPECT_EQ(run(controller->token()), std::optional<std::string>("abc123"));
}
