// The navigation policy in a real web view: what stays inside the window, what
// goes to the default handler, what becomes a download, and the sign-in check.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "support/WebFixture.h"
#include "web/NavigationPolicy.h"

using namespace vuko;
using namespace vuko::test;
namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

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
  const std::string plainServerHost = "http://127.0.0.1/tasks";  // the server's host, no port
  const std::string authOverHttp = "http://" + *Navigation::authHosts().begin() + "/";
  struct Case {
    std::string name, script, expectedOpen;
  };
  auto link = [&](const std::string& href) {
    return "{ const a = document.createElement('a'); a.href = " + nlohmann::json(href).dump() +
           "; document.body.appendChild(a); a.click(); } true";
  };
  const std::vector<Case> cases{
      {"foreign link", link(foreign + "/elsewhere"), foreign + "/elsewhere"},
      {"foreign by script", "location.href = '" + foreign + "/elsewhere'; true",
       foreign + "/elsewhere"},
      {"mail link", link("mailto:team@example.org"), "mailto:team@example.org"},
      {"telephone link", link("tel:+74950000000"), "tel:+74950000000"},
      {"server host without its port", link(plainServerHost), plainServerHost},
      // The engine drops a default port before any decision sees the address,
      // so an explicit default port cannot be told from none in a real view.
      {"server host with the default port written out", link("http://127.0.0.1:80/tasks"),
       plainServerHost},
      {"identity provider over http", link(authOverHttp), authOverHttp},
      {"another application's link", link("meetapp://meet.example/join?confno=1"),
       "meetapp://meet.example/join?confno=1"},
      {"another application's address by script", "location.href = 'editorapp://file/tmp/x'; true",
       "editorapp://file/tmp/x"},
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

TEST_F(NavigationIntegrationTest, OurPagesLoadInside) {
  server.handle("/inbox", [](const Received&) { return html("<p>inbox</p>"); });
  start();
  ASSERT_TRUE(showStart());
  clickLink(server.url() + "/inbox?x=1#top");
  EXPECT_TRUE(waitForUri(server.url() + "/inbox?x=1#top")) << uri();
  // The same server over another scheme string still counts as ours.
  ASSERT_TRUE(showStart());
  clickLink("HTTP://127.0.0.1:" + std::to_string(server.port()) + "/inbox");
  EXPECT_TRUE(waitForUri(server.url() + "/inbox")) << uri();
  EXPECT_TRUE(opened.empty());
}

TEST_F(NavigationIntegrationTest, EmbeddedFramesShowForeignPagesInside) {
  // The framed page tells the parent that it runs, then follows a link of its
  // own when asked: both loads are the embedded frame's.
  other.handle("/framed", [](const Received&) {
    return html(
        "<p>framed</p><script>parent.postMessage('framed:' + location.pathname, '*');"
        "addEventListener('message', (e) => { if (e.data === 'go') location.href = '/framed2'; });"
        "</script>");
  });
  other.handle("/framed2", [](const Received&) {
    return html("<script>parent.postMessage('framed:' + location.pathname, '*');</script>");
  });
  start();
  ASSERT_TRUE(showPage("/withframe",
                       "<script>window.marker = 'kept'; window.seen = [];"
                       "addEventListener('message', (e) => window.seen.push(e.data));</script>"
                       "<iframe id=f src='" +
                           foreign + "/framed'></iframe>"));
  ASSERT_TRUE(waitForValue("window.seen", nlohmann::json::array({"framed:/framed"})));
  eval("document.getElementById('f').contentWindow.postMessage('go', '*'); true");
  ASSERT_TRUE(
      waitForValue("window.seen", nlohmann::json::array({"framed:/framed", "framed:/framed2"})));
  // The parent replaces the frame's page itself.
  eval("document.getElementById('f').src = '" + foreign + "/framed?again'; true");
  ASSERT_TRUE(waitForValue("window.seen.length", 3));
  EXPECT_EQ(requestCount("/framed", &other), 1u);
  EXPECT_EQ(requestCount("/framed?again", &other), 1u);
  EXPECT_TRUE(opened.empty()) << opened.front();
  EXPECT_EQ(uri(), server.url() + "/withframe");
  EXPECT_EQ(eval("window.marker"), nlohmann::json("kept"));
}

// A page's own script may hand an address on without a click; an embedded
// frame may not: it would open mail or another program behind the user's back.
TEST_F(NavigationIntegrationTest, OnlyThePageItselfHandsAddressesOnWithoutAClick) {
  other.handle("/framed", [](const Received&) {
    return html(
        "<script>location.href = 'mailto:frame@example.org';"
        "setTimeout(() => parent.postMessage('tried', '*'), 50);</script>");
  });
  start();
  ASSERT_TRUE(showPage("/withframe",
                       "<script>window.marker = 'kept'; addEventListener('message', (e) => {"
                       " if (e.data === 'tried') location.href = 'mailto:page@example.org'; });"
                       "</script><iframe src='" +
                           foreign + "/framed'></iframe>"));
  ASSERT_TRUE(waitUntil([&] { return !opened.empty(); }));
  EXPECT_EQ(opened, std::vector<std::string>{"mailto:page@example.org"});
  EXPECT_TRUE(waitUntil([&] { return !webkit_web_view_is_loading(controller->webView()); }));
  EXPECT_EQ(uri(), server.url() + "/withframe");
  EXPECT_EQ(eval("window.marker"), nlohmann::json("kept"));
}

TEST_F(NavigationIntegrationTest, NewWindowsOpenOursHereAndOthersOutside) {
  server.handle("/inbox", [](const Received&) { return html("<p>inbox</p>"); });
  const std::string authPage = "https://" + *Navigation::authHosts().begin() + "/authorize";
  start();
  struct Case {
    std::string name, url;
  };
  for (const auto& c : std::vector<Case>{{"foreign page", foreign + "/elsewhere"},
                                         {"identity provider", authPage}}) {
    SCOPED_TRACE(c.name);
    opened.clear();
    ASSERT_TRUE(showStart());
    eval("window.open('" + c.url + "'); true");
    ASSERT_TRUE(waitUntil([&] { return !opened.empty(); }));
    EXPECT_EQ(opened, std::vector<std::string>{c.url});
    EXPECT_TRUE(stayedOnStart());
  }
  EXPECT_EQ(requestCount("/elsewhere", &other), 0u);

  // Pages without an address of their own would replace the application.
  for (const std::string& address :
       {std::string("'about:blank'"), std::string("'data:text/html,<p>data</p>'"),
        std::string("URL.createObjectURL(new Blob(['<p>blob</p>'], {type: 'text/html'}))")}) {
    SCOPED_TRACE(address);
    opened.clear();
    ASSERT_TRUE(showStart());
    // The engine asks for the new window before window.open returns.
    EXPECT_EQ(eval("window.open(" + address + ") === null"), nlohmann::json(true));
    EXPECT_TRUE(stayedOnStart()) << uri();
    EXPECT_TRUE(opened.empty());
  }

  opened.clear();
  ASSERT_TRUE(showStart());
  eval("window.open('" + server.url() + "/inbox', '_blank'); true");
  EXPECT_TRUE(waitForUri(server.url() + "/inbox")) << uri();
  EXPECT_TRUE(opened.empty());
}

TEST_F(NavigationIntegrationTest, AttachmentsAndUndisplayableTypesBecomeDownloads) {
  struct Case {
    std::string name, path, contentType, disposition, expectedFile;
  };
  const std::vector<Case> cases{
      {"pdf marked as attachment in capitals", "/files/report", "application/pdf",
       "ATTACHMENT; filename=report.pdf", "report.pdf"},
      {"archive without a header", "/files/archive.zip", "application/zip", "", "archive.zip"},
      {"text marked as attachment", "/files/notes", "text/plain",
       "attachment; filename=\"notes.txt\"", "notes.txt"},
  };
  for (const auto& c : cases) {
    server.handle(c.path, [c](const Received&) {
      Reply r;
      r.body = "content of " + c.expectedFile;
      r.contentType = c.contentType;
      if (!c.disposition.empty()) r.headers["Content-Disposition"] = c.disposition;
      return r;
    });
  }
  start();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(showStart());
    clickLink(server.url() + c.path);
    fs::path file = downloads / c.expectedFile;
    EXPECT_TRUE(waitUntil([&] { return readFile(file) == "content of " + c.expectedFile; }))
        << "missing " << file;
    // The file may be written before the engine has ended the navigation.
    EXPECT_TRUE(waitUntil([&] { return stayedOnStart(); })) << uri();
    EXPECT_FALSE(controller->offline());
  }
}

TEST_F(NavigationIntegrationTest, DisplayableResponsesWithoutAttachmentShowInside) {
  server.handle("/files/inline.txt", [](const Received&) {
    Reply r;
    r.body = "shown inline";
    r.contentType = "text/plain";
    r.headers["Content-Disposition"] = "inline; filename=inline.txt";
    return r;
  });
  start();
  ASSERT_TRUE(showStart());
  clickLink(server.url() + "/files/inline.txt");
  EXPECT_TRUE(waitForUri(server.url() + "/files/inline.txt"));
  EXPECT_EQ(eval("document.body.textContent"), nlohmann::json("shown inline"));
  EXPECT_FALSE(fs::exists(downloads / "inline.txt"));
}

TEST_F(NavigationIntegrationTest, SignInPageOfTheServerMeansSignedOut) {
  struct Case {
    std::string path;
    int calls;
  };
  const std::vector<Case> cases{
      {"/login?next=x", 1}, {"/login#form", 1}, {"/login/", 0}, {"/login/x", 0}, {"/logins", 0}};
  for (const auto& c : cases) {
    std::string path = c.path.substr(0, c.path.find_first_of("?#"));
    server.handle(path, [](const Received&) { return html("<form>sign in</form>"); });
  }
  start();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    int calls = 0;
    controller->onLoggedOut = [&] { ++calls; };
    ASSERT_TRUE(showStart());
    controller->load(c.path);
    ASSERT_TRUE(waitForUri(server.url() + c.path)) << uri();
    // The check runs when the load finishes, which waitForUri waited for.
    EXPECT_EQ(calls, c.calls);
  }
}

TEST_F(NavigationIntegrationTest, OfflinePageNeverMeansSignedOut) {
  int calls = 0;
  Settings::useTestServer(
      Url::parse(("http://127.0.0.1:" + std::to_string(TestServer::closedPort()))));
  controller = std::make_unique<WebController>(true);
  controller->onLoggedOut = [&] { ++calls; };
  ASSERT_TRUE(waitUntil(
      [&] { return controller->offline() && !webkit_web_view_is_loading(controller->webView()); }));
  controller->reload();  // probes again and shows the offline page once more
  ASSERT_TRUE(waitUntil(
      [&] { return controller->offline() && !webkit_web_view_is_loading(controller->webView()); }));
  EXPECT_TRUE(waitForValue("document.querySelector('h1').textContent", "Нет связи с сервером"));
  EXPECT_EQ(calls, 0);
}

// The engine reports pages with a lower-case host and without a default port:
// a server typed in capitals or with its default port, or stored so by an
// older version, still shows its pages inside, with the router, the bridge and
// the sign-in check.
TEST_F(NavigationIntegrationTest, ServerInCapitalsOrWithItsDefaultPortOwnsItsPages) {
  std::unique_ptr<TestServer> standardPort;
  try {
    standardPort = std::make_unique<TestServer>(80);
  } catch (const std::exception& e) {
    std::cerr << "port 80 is taken, its cases are left out: " << e.what() << "\n";
  }
  const std::string port = std::to_string(server.port());
  struct Case {
    std::string name, address;
    bool typed;
    TestServer* at;
    std::string today;
  };
  std::vector<Case> cases{
      {"typed in capitals", "http://LocalHost:" + port, true, &server,
       "http://localhost:" + port + "/today"},
      {"stored in capitals", "http://LOCALHOST:" + port, false, &server,
       "http://localhost:" + port + "/today"},
  };
  if (standardPort) {
    cases.push_back({"typed with the default port", "127.0.0.1:80", true, standardPort.get(),
                     "http://127.0.0.1/today"});
    cases.push_back({"stored with the default port", "http://127.0.0.1:80", false,
                     standardPort.get(), "http://127.0.0.1/today"});
  }
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    c.at->handle("/api/health", [](const Received&) { return healthy(); });
    c.at->handle("/today", [](const Received&) { return html(todayPage()); });
    c.at->handle("/login", [](const Received&) { return html("<form>sign in</form>"); });
    std::string address = c.address;
    if (c.typed) {
      auto normal = Settings::normalize(c.address);
      ASSERT_TRUE(normal);
      address = normal->str();
    }
    Settings::useTestServer(Url::parse(address));
    Settings::resetTestOverride();
    opened.clear();
    controller = std::make_unique<WebController>(true);
    int changed = 0, signedOut = 0;
    controller->onTasksChanged = [&] { ++changed; };
    controller->onLoggedOut = [&] { ++signedOut; };
    ASSERT_TRUE(waitForUri(c.today)) << uri() << " opened " << opened.size();
    EXPECT_TRUE(opened.empty());

    controller->go("/calendar");
    EXPECT_TRUE(waitForValue("window.routed", "/calendar"));
    eval(post("{type: 'tasksChanged'}"));
    EXPECT_TRUE(waitUntil([&] { return changed == 1; }));
    controller->load("/login");
    ASSERT_TRUE(waitForUri(c.today.substr(0, c.today.size() - 6) + "/login")) << uri();
    EXPECT_EQ(signedOut, 1);
    controller.reset();
  }
}

}  // namespace
