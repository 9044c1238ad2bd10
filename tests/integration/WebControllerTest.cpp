#include "support/WebFixture.h"

// After the test headers: the X11 headers define None and Status.
#include <gdk/gdkx.h>

using namespace vuko;
using namespace vuko::test;
using nlohmann::json;

namespace {

class WebControllerTest : public WebFixture {};

size_t requestsFor(const TestServer& s, const std::string& path) {
  size_t n = 0;
  for (const auto& r : s.received()) n += r.path == path;
  return n;
}

}  // namespace

TEST_F(WebControllerTest, ProbesThenLoadsTodayWithoutTokenAndWithUserAgent) {
  start();
  ASSERT_GE(server.received().size(), 2u);
  const auto& probe = server.received()[0];
  EXPECT_EQ(probe.path, "/api/health");
  EXPECT_EQ(probe.headers.count("authorization"), 0u);
  EXPECT_EQ(server.received()[1].path, "/today");
  EXPECT_NE(server.received()[1].headers.at("user-agent").find("VukoMac/1.0"), std::string::npos);
  EXPECT_FALSE(controller->offline());

  GtkWindow* w = controller->window();
  EXPECT_STREQ(gtk_window_get_title(w), "Vuko");
  EXPECT_FALSE(gtk_widget_get_visible(GTK_WIDGET(w)));  // shown by its owner
  controller->show();
  EXPECT_TRUE(waitUntil([&] { return gtk_widget_get_mapped(GTK_WIDGET(w)); }));
  int width = 0, height = 0;
  gtk_window_get_size(w, &width, &height);
  EXPECT_EQ(width, 1280);
  EXPECT_EQ(height, 820);
}

TEST_F(WebControllerTest, OfflinePageForUnreachableServerThenRetryLoadsToday) {
  int port = TestServer::closedPort();
  std::string address = "http://127.0.0.1:" + std::to_string(port);
  Settings::useTestServer(Url::parse(address));
  controller = std::make_unique<WebController>(true);
  ASSERT_TRUE(waitUntil(
      [&] { return controller->offline() && !webkit_web_view_is_loading(controller->webView()); }));
  ASSERT_TRUE(
      waitForValue("document.querySelector('h1') && document.querySelector('h1').textContent",
                   "Нет связи с сервером"));
  EXPECT_EQ(eval("document.querySelector('code').textContent"), nlohmann::json(address));
  auto why = eval("document.querySelector('.why').textContent");
  ASSERT_TRUE(why && why->is_string());
  EXPECT_EQ(why->get<std::string>().rfind("Не удалось подключиться: ", 0), 0u) << *why;
  EXPECT_EQ(run(controller->token()), std::nullopt);
  // "Другой сервер…" reaches the owner.
  int asked = 0;
  controller->onChooseServer = [&] { ++asked; };
  eval("document.querySelector('button.sec').click(); true");
  EXPECT_TRUE(waitUntil([&] { return asked == 1; }));

  // The server comes back; "Повторить" probes again and opens today's page.
  Settings::setServer(*Url::parse(server.url()));
  eval("document.querySelector('button').click(); true");
  EXPECT_TRUE(waitForUri(server.url() + "/today")) << uri();
  EXPECT_FALSE(controller->offline());
}

TEST_F(WebControllerTest, TokenComesFromLocalStorage) {
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
}

TEST_F(WebControllerTest, AMoveToTheSignInPageWithoutALoadIsASignOut) {
  start();
  int signedOut = 0;
  controller->onLoggedOut = [&] { ++signedOut; };
  eval("history.pushState({}, '', '/calendar'); history.pushState({}, '', '/login'); true");
  EXPECT_TRUE(waitUntil([&] { return signedOut > 0; }));
  EXPECT_EQ(signedOut, 1);
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

namespace {

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

}  // namespace

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

TEST_F(WebControllerTest, APageLoadFailingAfterAPassingProbeShowsTheOfflinePage) {
  server.handle("/today", [](const Received&) {
    Reply r;
    r.raw = "";  // the connection closes without an answer
    return r;
  });
  controller = std::make_unique<WebController>(true);
  ASSERT_TRUE(
      waitForValue("document.querySelector('h1') && document.querySelector('h1').textContent",
                   "Нет связи с сервером"));
  EXPECT_TRUE(controller->offline());
  EXPECT_EQ(requestsFor(server, "/api/health"), 1u);
  EXPECT_GE(requestsFor(server, "/today"), 1u);
  auto why = eval("document.querySelector('.why').textContent");
  ASSERT_TRUE(why && why->is_string());
  EXPECT_FALSE(why->get<std::string>().empty());
}

TEST_F(WebControllerTest, AWebProcessCrashReloadsThePage) {
  start();
  eval("window.beforeCrash = true; true");
  ASSERT_EQ(requestsFor(server, "/today"), 1u);
  webkit_web_view_terminate_web_process(controller->webView());
  ASSERT_TRUE(waitUntil([&] { return requestsFor(server, "/today") == 2; }));
  ASSERT_TRUE(waitForUri(server.url() + "/today"));
  EXPECT_TRUE(waitForValue("window.marker", "kept"));
  EXPECT_EQ(eval("typeof window.beforeCrash"), json("undefined"));
}

TEST_F(WebControllerTest, LeavingAPageThatAsksToStayOpensNoDialog) {
  server.handle("/next", [](const Received&) { return html("<p>next</p>"); });
  start();
  ASSERT_TRUE(showPage("/editing",
                       "<p>editing</p><script>addEventListener('beforeunload', (e) => {"
                       " e.preventDefault(); e.returnValue = 'unsaved'; });"
                       "addEventListener('keydown', () => { window.typed = true; });</script>"));
  // The engine asks only on pages the user has used: press a key in it.
  controller->show();
  GtkWidget* w = GTK_WIDGET(controller->window());
  ASSERT_TRUE(waitUntil([&] { return gtk_widget_get_mapped(w); }));
  std::string id = std::to_string(gdk_x11_window_get_xid(gtk_widget_get_window(w)));
  ASSERT_EQ(std::system(("xdotool windowactivate --sync " + id).c_str()), 0);
  ASSERT_TRUE(waitUntil([&] {
    if (std::system("xdotool key shift") != 0) return false;
    return eval("window.typed === true") == std::optional<json>(true);
  }));

  controller->load("/next");
  EXPECT_TRUE(waitForUri(server.url() + "/next")) << uri();
  for (GList* l = gtk_window_list_toplevels(); l; l = g_list_delete_link(l, l))
    EXPECT_FALSE(GTK_IS_MESSAGE_DIALOG(l->data) && gtk_widget_get_visible(GTK_WIDGET(l->data)));
}
