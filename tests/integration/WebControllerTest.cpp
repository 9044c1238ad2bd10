#include "support/WebFixture.h"
#include "web/NavigationPolicy.h"

using namespace vuko;
using namespace vuko::test;

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
  setenv("VUKO_TEST_SERVER", address.c_str(), 1);
  controller = std::make_unique<WebController>();
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

  // The server comes back; "Повторить" probes again and opens today's page.
  Settings::setServer(*Url::parse(server.url()));
  eval("document.querySelector('button').click(); true");
  EXPECT_TRUE(waitForUri(server.url() + "/today")) << uri();
  EXPECT_FALSE(controller->offline());
}

TEST_F(WebControllerTest, OfflinePageShowsServerMessageForAnythingButATaskServer) {
  server.handle("/api/health", [](const Received&) { return html("<p>a web site</p>"); });
  controller = std::make_unique<WebController>();
  ASSERT_TRUE(
      waitForValue("document.querySelector('.why') && document.querySelector('.why').textContent",
                   Settings::kNotOurServer));
  EXPECT_EQ(requestsFor(server, "/today"), 0u);
  // "Другой сервер…" reaches the owner.
  int asked = 0;
  controller->onChooseServer = [&] { ++asked; };
  eval("document.querySelector('button.sec').click(); true");
  EXPECT_TRUE(waitUntil([&] { return asked == 1; }));
  // reload() while offline probes again instead of reloading the page.
  server.handle("/api/health", [](const Received&) { return healthy(); });
  controller->reload();
  EXPECT_TRUE(waitForUri(server.url() + "/today"));
}

TEST_F(WebControllerTest, StaleProbeOfOldServerIsDropped) {
  TestServer slow;
  Reply held;
  held.hold = true;
  slow.handle("/api/health", [&](const Received&) { return held; });
  setenv("VUKO_TEST_SERVER", slow.url().c_str(), 1);
  controller = std::make_unique<WebController>();
  ASSERT_TRUE(waitUntil([&] { return slow.heldCount() == 1; }));

  Settings::setServer(*Url::parse(server.url()));
  controller->open("/today");
  ASSERT_TRUE(waitForUri(server.url() + "/today"));

  Reply refused;
  refused.status = 500;
  slow.answerHeld(refused);
  spin(std::chrono::milliseconds(300));  // the old probe completes now
  EXPECT_EQ(uri(), server.url() + "/today");
  EXPECT_FALSE(controller->offline());
}

TEST_F(WebControllerTest, GoUsesThePageRouterOrFallsBackToALoad) {
  start();
  size_t before = server.received().size();
  controller->go("/calendar");
  ASSERT_TRUE(waitForValue("window.routed", "/calendar"));
  EXPECT_EQ(uri(), server.url() + "/calendar");
  EXPECT_EQ(eval("window.marker"), nlohmann::json("kept"));
  EXPECT_EQ(server.received().size(), before);  // no request: no reload

  // A path that would break a naively built script reaches the router intact.
  controller->go("/today?q=it's \"quoted\"");
  EXPECT_TRUE(waitForValue("window.routed", "/today?q=it's \"quoted\""));

  // Without the router the path is loaded in full.
  server.handle("/inbox", [](const Received&) { return html("<p>inbox</p>"); });
  eval("delete window.vukoGo; true");
  controller->go("/inbox");
  EXPECT_TRUE(waitForUri(server.url() + "/inbox"));
  EXPECT_EQ(requestsFor(server, "/inbox"), 1u);
}

TEST_F(WebControllerTest, GoFromAForeignPageLoadsOnTheServer) {
  server.handle("/inbox", [](const Received&) { return html("<p>inbox</p>"); });
  start();
  // An identity provider's sign-in page is allowed to load in the window.
  std::string signIn = "https://" + *Navigation::authHosts().begin() + "/";
  webkit_web_view_load_html(controller->webView(), "<p>sign in</p>", signIn.c_str());
  ASSERT_TRUE(waitForUri(signIn));
  controller->go("/inbox");
  EXPECT_TRUE(waitForUri(server.url() + "/inbox"));
}

TEST_F(WebControllerTest, TokenComesFromLocalStorage) {
  start();
  EXPECT_EQ(run(controller->token()), std::nullopt);
  eval("localStorage.setItem('token', ''); true");
  EXPECT_EQ(run(controller->token()), std::nullopt);
  eval("localStorage.setItem('token', 'abc123'); true");
  EXPECT_EQ(run(controller->token()), std::optional<std::string>("abc123"));
}

TEST_F(WebControllerTest, ClosingHidesTheWindowAndKeepsThePage) {
  start();
  controller->show();
  GtkWidget* w = GTK_WIDGET(controller->window());
  ASSERT_TRUE(waitUntil([&] { return gtk_widget_get_mapped(w); }));
  eval("window.marker = 'still here'; true");
  gtk_window_close(controller->window());
  ASSERT_TRUE(waitUntil([&] { return !gtk_widget_get_visible(w); }));
  controller->show();
  EXPECT_TRUE(waitUntil([&] { return gtk_widget_get_mapped(w); }));
  EXPECT_EQ(eval("window.marker"), nlohmann::json("still here"));
}
