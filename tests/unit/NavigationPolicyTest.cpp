#include <gtest/gtest.h>

#include <string>

#include "support/SettingsScope.h"
#include "web/NavigationPolicy.h"

namespace vuko {
namespace {

using Navigation::ActionOutcome;
using Navigation::Decision;
using Navigation::NewWindow;

std::optional<Url> url(const std::string& text) {
  auto u = Url::parse(text);
  EXPECT_TRUE(u) << text;
  return u;
}

class NavigationPolicyTest : public testing::Test {
 protected:
  static void serve(const std::string& address) { Settings::setServer(*Url::parse(address)); }
  test::SettingsScope settings{"https://tasks.company.example"};
  const std::string host = *Navigation::authHosts().begin();
  const std::string auth = "https://" + host;
};

// The web engine reports every page with a lower-case host and without a
// default port; a server address stored in another form by an older version
// must still own its pages. Each call reads the server in use. The sign-in
// page is the server's "/login" (never while the offline page is shown).
TEST_F(NavigationPolicyTest, OurPagesAreThoseOfTheServerInUse) {
  struct Case {
    const char* server;
    const char* page;
    bool ours, sameHost, signIn;
  };
  const Case cases[] = {
      {"https://t.example", "http://t.example/today", true, true, false},
      {"https://t.example", "https://t.example:8443/login?next=%2Ftoday", false, true, true},
      {"https://t.example", "https://www.t.example/login", false, false, false},
      {"https://t.example", "about:srcdoc", true, false, false},
      {"https://t.example", "data:text/html,hello", true, false, false},
      {"https://t.example", "mailto:someone@t.example", false, false, false},
      {"http://127.0.0.1:5300", "https://127.0.0.1:5300/login#form", true, true, true},
      {"http://127.0.0.1:5300", "http://127.0.0.1/login/", false, true, false},
      {"http://127.0.0.1:5300", "http://127.0.0.1:5300/Login", true, true, false},
      {"https://T.example:443", "http://t.example/login", true, true, true},
      {"https://t.example:80", "https://t.example/today", false, true, false},
  };
  for (const auto& c : cases) {
    serve(c.server);
    auto page = url(c.page);
    EXPECT_EQ(Navigation::isOurs(page), c.ours) << c.server << " " << c.page;
    EXPECT_EQ(Navigation::isServerHost(page), c.sameHost) << c.server << " " << c.page;
    EXPECT_EQ(Navigation::isSignInPage(page, false), c.signIn) << c.server << " " << c.page;
    EXPECT_FALSE(Navigation::isSignInPage(page, true)) << c.page;
  }
  EXPECT_FALSE(Navigation::isOurs(std::nullopt) || Navigation::isSignInPage(std::nullopt, false));
}

// Sign-in pages of the identity providers load inside, over https and on the
// whole host name only.
TEST_F(NavigationPolicyTest, ActionPolicy) {
  const ActionOutcome allow{Decision::allow, false};
  const ActionOutcome leave{Decision::cancel, true};
  const ActionOutcome download{Decision::download, false};
  const ActionOutcome drop{Decision::cancel, false};
  using enum Navigation::Frame;
  struct Case {
    std::optional<std::string> address;
    bool isDownload;
    Navigation::Frame frame;
    ActionOutcome expected;
    bool gesture = false;
  };
  const Case cases[] = {
      {"https://example.org/file.zip", true, main, download},
      {std::nullopt, false, main, allow},
      {"https://tasks.company.example/today", false, none, allow},
      {"data:text/plain,x", false, main, allow},
      {auth + ":8443/auth?retpath=x", false, main, allow},
      {"http://" + host + "/auth", false, main, leave},
      {"https://evil." + host + "/", false, main, leave},
      {auth + ".evil.example/", false, main, leave},
      {"https://" + host.substr(host.find('.') + 1) + "/", false, main, leave},
      {"https://example.org/", false, main, leave},
      {"https://example.org/embed", false, embedded, allow},
      // A main-frame load of it is stopped as it starts.
      {"https://example.org/", false, unnamed, allow, true},
      // A frame hands nothing on without the user's click or key.
      {"tel:+74950000000", false, embedded, drop},
      {"tel:+74950000000", false, embedded, leave, true},
      {"mailto:team@example.org", false, unnamed, leave, true},
      // The view cannot show it: should the frame be the main one, its
      // failed load hands it on.
      {"mailto:team@example.org", false, unnamed, allow},
      {"javascript:void(0)", false, main, allow},
      // Addresses of other applications go to the desktop's handler; the
      // page stays.
      {"meetapp://meet.example/join?confno=1", false, main, leave},
      // A local file is neither shown nor handed on.
      {"file:///tmp/x", false, main, drop},
      {"file:///tmp/x", false, unnamed, drop, true},
  };
  for (const auto& c : cases) {
    std::optional<Url> target = c.address ? url(*c.address) : std::nullopt;
    EXPECT_EQ(Navigation::decideAction(target, c.isDownload, c.frame, c.gesture), c.expected)
        << c.address.value_or("(none)") << " frame " << int(c.frame) << " gesture " << c.gesture;
  }
}

// Addresses let through for an unnamed frame leave when the main frame's load
// of them fails; web pages left as their load started.
TEST_F(NavigationPolicyTest, FailedMainFrameLoadsOfAddressesThatLeave) {
  const std::pair<const char*, bool> cases[] = {
      {"mailto:team@example.org", true},
      {"https://example.org/", false},
      {"file:///tmp/x", false},
  };
  for (const auto& [text, leaves] : cases)
    EXPECT_EQ(Navigation::leavesAfterFailedLoad(url(text)), leaves) << text;
  EXPECT_FALSE(Navigation::leavesAfterFailedLoad(std::nullopt));
}

TEST_F(NavigationPolicyTest, ResponsePolicy) {
  const std::tuple<bool, const char*, Decision> cases[] = {
      {true, "", Decision::allow},
      {true, "inline; filename=\"attachment.pdf\"", Decision::allow},
      {true, "ATTACHMENT; filename=report.pdf", Decision::download},
      {true, "attach", Decision::allow},
      {false, "inline", Decision::download},
  };
  for (const auto& [canShow, disposition, expected] : cases)
    EXPECT_EQ(Navigation::decideResponse(canShow, disposition), expected) << disposition;
}

TEST_F(NavigationPolicyTest, NewWindows) {
  const std::pair<std::string, NewWindow> cases[] = {
      {"https://tasks.company.example/task/7", NewWindow::loadHere},
      // Such a page would replace the application in the main view.
      {"about:blank", NewWindow::ignore},
      {"javascript:alert(1)", NewWindow::ignore},
      {"file:///tmp/x", NewWindow::ignore},
      {"meetapp://meet.example/join", NewWindow::openExternally},
      {auth + "/signin", NewWindow::openExternally},
  };
  for (const auto& [text, expected] : cases)
    EXPECT_EQ(Navigation::decideNewWindow(url(text)), expected) << text;
  EXPECT_EQ(Navigation::decideNewWindow(std::nullopt), NewWindow::ignore);
}

}  // namespace
}  // namespace vuko
