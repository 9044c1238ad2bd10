// The navigation policy in a real web view: what stays inside the window and
// what goes to the default handler. Its decisions are unit-tested; here, the
// ways the engine asks for them.
#include "support/WebFixture.h"

using namespace vuko;
using namespace vuko::test;

namespace {

class NavigationIntegrationTest : public WebFixture {
 protected:
  void SetUp() override {
    WebFixture::SetUp();
    if (IsSkipped()) return;
    // "localhost" is another host than the server's 127.0.0.1.
    foreign = "http://localhost:" + std::to_string(other.port());
    other.handle("/elsewhere", [](const Received&) { return html("<p>elsewhere</p>"); });
  }

  // Our page with a marker that a reload or a foreign page would lose.
  bool showStart() {
    return showPage("/start", "<p>start</p><script>window.marker = 'kept';</script>");
  }

  bool stayedOnStart() {
    return uri() == server.url() + "/start" && !webkit_web_view_is_loading(controller->webView()) &&
           eval("window.marker") == std::optional<nlohmann::json>("kept");
  }

  TestServer other;
  std::string foreign;
};

TEST_F(NavigationIntegrationTest, AddressesThatLeaveOpenOutsideAndTheWindowKeepsItsPage) {
  server.handle("/away", [&](const Received&) {
    Reply r;
    r.status = 302;
    r.headers["Location"] = foreign + "/elsewhere";
    return r;
  });
  struct Case {
    std::string name, script, expectedOpen;
  };
  auto link = [](const std::string& href) {
    return "{ const a = document.createElement('a'); a.href = " + nlohmann::json(href).dump() +
           "; document.body.appendChild(a); a.click(); } true";
  };
  // Each a different way for the engine to ask: a click, a script, another
  // scheme, a redirect.
  const std::vector<Case> cases{
      {"foreign link", link(foreign + "/elsewhere"), foreign + "/elsewhere"},
      {"foreign by script", "location.href = '" + foreign + "/elsewhere'; true",
       foreign + "/elsewhere"},
      {"mail link", link("mailto:team@example.org"), "mailto:team@example.org"},
      {"our page redirecting outside", link(server.url() + "/away"), foreign + "/elsewhere"},
  };
  start();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    opened.clear();
    ASSERT_TRUE(showStart());
    eval(c.script);
    ASSERT_TRUE(waitUntil([&] { return !opened.empty(); }));
    EXPECT_EQ(opened, std::vector<std::string>{c.expectedOpen});
    EXPECT_TRUE(waitUntil([&] { return stayedOnStart(); })) << uri();
    EXPECT_FALSE(controller->offline());
  }
}

// A foreign page in an embedded frame shows inside, its own links too; but
// only the page itself may hand an address on without a click: a frame would
// open mail or another program behind the user's back.
TEST_F(NavigationIntegrationTest, EmbeddedFramesShowForeignPagesInsideAndHandNothingOn) {
  other.handle("/framed", [](const Received&) {
    return html(
        "<script>parent.postMessage('framed:' + location.pathname, '*');"
        "addEventListener('message', (e) => { if (e.data === 'go') location.href = '/framed2'; });"
        "</script>");
  });
  other.handle("/framed2", [](const Received&) {
    return html(
        "<script>location.href = 'mailto:frame@example.org';"
        "setTimeout(() => parent.postMessage('tried', '*'), 50);</script>");
  });
  start();
  ASSERT_TRUE(showPage("/withframe",
                       "<script>window.marker = 'kept'; window.seen = [];"
                       "addEventListener('message', (e) => { window.seen.push(e.data);"
                       " if (e.data === 'tried') location.href = 'mailto:page@example.org'; });"
                       "</script><iframe id=f src='" +
                           foreign + "/framed'></iframe>"));
  ASSERT_TRUE(waitForValue("window.seen", nlohmann::json::array({"framed:/framed"})));
  eval("document.getElementById('f').contentWindow.postMessage('go', '*'); true");
  ASSERT_TRUE(waitUntil([&] { return !opened.empty(); }));
  EXPECT_EQ(opened, std::vector<std::string>{"mailto:page@example.org"});
  EXPECT_EQ(requestCount("/framed2", &other), 1u);
  EXPECT_TRUE(waitUntil([&] { return !webkit_web_view_is_loading(controller->webView()); }));
  EXPECT_EQ(uri(), server.url() + "/withframe");
  EXPECT_EQ(eval("window.marker"), nlohmann::json("kept"));
}

}  // namespace
