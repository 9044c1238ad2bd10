#include <gtest/gtest.h>

#include <string>

#include "server/Settings.h"
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
  void SetUp() override { serve("https://tasks.company.example"); }
  static void serve(const std::string& address) { Settings::setServer(*Url::parse(address)); }
};

TEST_F(NavigationPolicyTest, OursAgainstServerWithoutPort) {
  const std::pair<const char*, bool> cases[] = {
      {"https://tasks.company.example/today", true},
      {"http://tasks.company.example/today", true},
      {"https://tasks.company.example:8443/", false},
      {"https://www.tasks.company.example/", false},
      {"https://company.example/", false},
      {"https://example.org/", false},
      {"about:blank", true},
      {"about:srcdoc", true},
      {"blob:https://tasks.company.example/1f2e", true},
      {"data:text/html,hello", true},
      {"mailto:someone@tasks.company.example", false},
      {"file:///etc/passwd", false},
  };
  for (const auto& [text, ours] : cases) EXPECT_EQ(Navigation::isOurs(url(text)), ours) << text;
  EXPECT_FALSE(Navigation::isOurs(std::nullopt));
}

TEST_F(NavigationPolicyTest, OursAgainstServerWithPort) {
  serve("http://127.0.0.1:5300");
  const std::pair<const char*, bool> cases[] = {
      {"http://127.0.0.1:5300/login", true}, {"https://127.0.0.1:5300/login", true},
      {"http://127.0.0.1/", false},          {"http://127.0.0.1:5301/", false},
      {"http://localhost:5300/", false},
  };
  for (const auto& [text, ours] : cases) EXPECT_EQ(Navigation::isOurs(url(text)), ours) << text;
}

// The web engine reports every page with a lower-case host and without a
// default port; a server address stored in another form by an older version
// must still own its pages.
TEST_F(NavigationPolicyTest, ServerAddressInAnotherCaseOrWithItsDefaultPortOwnsItsPages) {
  struct Case {
    const char* server;
    const char* page;
    bool ours, sameHost;
  };
  const Case cases[] = {
      {"https://Tasks.Company.Example", "https://tasks.company.example/today", true, true},
      {"https://tasks.company.example:443", "https://tasks.company.example/today", true, true},
      {"https://TASKS.company.example:443", "http://tasks.company.example/login", true, true},
      {"http://127.0.0.1:80", "http://127.0.0.1/today", true, true},
      {"http://127.0.0.1:80", "http://127.0.0.1:8080/today", false, true},
      {"https://tasks.company.example:80", "https://tasks.company.example/today", false, true},
      {"https://Tasks.Company.Example", "https://company.example/", false, false},
  };
  for (const auto& c : cases) {
    serve(c.server);
    EXPECT_EQ(Navigation::isOurs(url(c.page)), c.ours) << c.server << " " << c.page;
    EXPECT_EQ(Navigation::isServerHost(url(c.page)), c.sameHost) << c.server << " " << c.page;
  }
  serve("http://LocalHost:5300");
  EXPECT_TRUE(Navigation::isSignInPage(url("http://localhost:5300/login"), false));
  EXPECT_TRUE(Navigation::trustsMessagesFrom(url("http://localhost:5300/today"), false));
}

TEST_F(NavigationPolicyTest, OursFollowsTheServerAtEachCall) {
  auto page = url("http://127.0.0.1:5300/today");
  EXPECT_FALSE(Navigation::isOurs(page));
  serve("http://127.0.0.1:5300");
  EXPECT_TRUE(Navigation::isOurs(page));
}

TEST_F(NavigationPolicyTest, AuthHosts) {
  const auto& hosts = Navigation::authHosts();
  EXPECT_EQ(hosts.size(), 15u);
  for (const char* host : {"passport.yandex.ru", "oauth.yandex.ru", "id.vk.com", "oauth.vk.com",
                           "accounts.google.com"})
    EXPECT_TRUE(hosts.contains(host)) << host;
}

TEST_F(NavigationPolicyTest, AuthPages) {
  const std::pair<const char*, bool> cases[] = {
      {"https://passport.yandex.ru/auth?retpath=x", true},
      {"https://oauth.yandex.ru:8443/authorize", true},
      {"https://id.vk.com/auth", true},
      {"https://accounts.google.com/o/oauth2/v2/auth", true},
      {"http://passport.yandex.ru/auth", false},
      {"HTTPS://passport.yandex.ru/auth", false},
      {"https://evil.passport.yandex.ru/", false},
      {"https://yandex.ru/", false},
      {"https://vk.com/", false},
      {"https://passport.yandex.ru.evil.example/", false},
      {"https://Passport.Yandex.ru/", false},
      {"https://tasks.company.example/login", false},
  };
  for (const auto& [text, auth] : cases) EXPECT_EQ(Navigation::isAuthPage(url(text)), auth) << text;
  EXPECT_FALSE(Navigation::isAuthPage(std::nullopt));
}

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
      {"https://tasks.company.example/export", true, main, download},
      {std::nullopt, false, main, allow},
      {"https://tasks.company.example/today", false, main, allow},
      {"https://tasks.company.example/today", false, none, allow},
      {"about:blank", false, embedded, allow},
      {"data:text/plain,x", false, main, allow},
      {"https://passport.yandex.ru/auth", false, main, allow},
      {"https://passport.yandex.ru/auth", false, none, allow},
      {"http://passport.yandex.ru/auth", false, main, leave},
      {"https://example.org/", false, main, leave},
      {"https://example.org/", false, none, leave},
      {"https://example.org/embed", false, embedded, allow},
      {"https://example.org/embed", false, embedded, allow, true},
      // A main-frame load of it is stopped as it starts.
      {"https://example.org/", false, unnamed, allow, true},
      {"http://example.org/", false, main, leave},
      {"mailto:team@example.org", false, main, leave},
      {"tel:+74950000000", false, main, leave},
      // A frame hands nothing on without the user's click or key.
      {"tel:+74950000000", false, embedded, drop},
      {"tel:+74950000000", false, embedded, leave, true},
      {"mailto:team@example.org", false, unnamed, leave, true},
      // The view cannot show it: should the frame be the main one, its
      // failed load hands it on.
      {"mailto:team@example.org", false, unnamed, allow},
      {"javascript:void(0)", false, main, allow},
      {"blob:https://tasks.company.example/1f2e", false, main, allow},
      // Addresses of other applications go to the desktop's handler; the
      // page stays.
      {"meetapp://meet.example/join?confno=1", false, main, leave},
      {"chatapp://resolve?domain=team", false, main, leave},
      {"editorapp://file/tmp/x", false, none, leave},
      {"editorapp://file/tmp/x", false, unnamed, allow},
      {"ftp://example.org/", false, main, leave},
      {"HTTPS://example.org/", false, main, leave},
      // A local file is neither shown nor handed on.
      {"file:///tmp/x", false, main, drop},
      {"file:///tmp/x", false, unnamed, drop, true},
  };
  for (const auto& c : cases) {
    std::optional<Url> target = c.address ? url(*c.address) : std::nullopt;
    auto got = Navigation::decideAction(target, c.isDownload, c.frame, c.gesture);
    EXPECT_EQ(got, c.expected) << c.address.value_or("(none)") << " frame "
                               << static_cast<int>(c.frame) << " gesture " << c.gesture;
  }
}

// Addresses let through for an unnamed frame leave when the main frame's load
// of them fails; web pages left as their load started.
TEST_F(NavigationPolicyTest, FailedMainFrameLoadsOfAddressesThatLeave) {
  const std::pair<const char*, bool> cases[] = {
      {"mailto:team@example.org", true}, {"meetapp://meet.example/join", true},
      {"https://example.org/", false},   {"https://tasks.company.example/today", false},
      {"file:///tmp/x", false},          {"about:blank", false},
  };
  for (const auto& [text, leaves] : cases)
    EXPECT_EQ(Navigation::leavesAfterFailedLoad(url(text)), leaves) << text;
  EXPECT_FALSE(Navigation::leavesAfterFailedLoad(std::nullopt));
}

TEST_F(NavigationPolicyTest, ResponsePolicy) {
  struct Case {
    bool canShow;
    const char* disposition;
    Decision expected;
  };
  const Case cases[] = {
      {true, "", Decision::allow},
      {true, "inline", Decision::allow},
      {true, "inline; filename=\"attachment.pdf\"", Decision::allow},
      {true, "attachment", Decision::download},
      {true, "attachment; filename=report.pdf", Decision::download},
      {true, "ATTACHMENT; filename=report.pdf", Decision::download},
      {true, "Attachment;filename*=UTF-8''%D0%BE.pdf", Decision::download},
      {true, "attach", Decision::allow},
      {false, "", Decision::download},
      {false, "inline", Decision::download},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Navigation::decideResponse(c.canShow, c.disposition), c.expected)
        << c.canShow << " " << c.disposition;
}

TEST_F(NavigationPolicyTest, NewWindows) {
  const std::pair<const char*, NewWindow> cases[] = {
      {"https://tasks.company.example/task/7", NewWindow::loadHere},
      // Such a page would replace the application in the main view.
      {"about:blank", NewWindow::ignore},
      {"data:text/html,<p>x</p>", NewWindow::ignore},
      {"blob:https://tasks.company.example/1f2e", NewWindow::ignore},
      {"javascript:alert(1)", NewWindow::ignore},
      {"file:///tmp/x", NewWindow::ignore},
      {"meetapp://meet.example/join", NewWindow::openExternally},
      {"https://example.org/", NewWindow::openExternally},
      {"https://accounts.google.com/signin", NewWindow::openExternally},
      {"mailto:a@example.org", NewWindow::openExternally},
  };
  for (const auto& [text, expected] : cases)
    EXPECT_EQ(Navigation::decideNewWindow(url(text)), expected) << text;
  EXPECT_EQ(Navigation::decideNewWindow(std::nullopt), NewWindow::ignore);
}

TEST_F(NavigationPolicyTest, SignInPage) {
  serve("http://127.0.0.1:5300");
  const std::pair<const char*, bool> cases[] = {
      {"http://127.0.0.1:5300/login", true},
      {"http://127.0.0.1:5300/login?next=%2Ftoday", true},
      {"http://127.0.0.1:5300/login#form", true},
      {"http://127.0.0.1:5301/login", true},
      {"http://127.0.0.1:5300/login/", false},
      {"http://127.0.0.1:5300/Login", false},
      {"http://127.0.0.1:5300/today", false},
      {"http://localhost:5300/login", false},
      {"about:blank", false},
  };
  for (const auto& [text, signIn] : cases) {
    EXPECT_EQ(Navigation::isSignInPage(url(text), false), signIn) << text;
    EXPECT_FALSE(Navigation::isSignInPage(url(text), true)) << text;
  }
  EXPECT_FALSE(Navigation::isSignInPage(std::nullopt, false));
}

TEST_F(NavigationPolicyTest, MessagesAreTrustedOnlyFromOurPages) {
  struct Case {
    std::optional<std::string> page;
    bool offline;
    bool trusted;
  };
  const Case cases[] = {
      {"https://tasks.company.example/today", false, true},
      {"https://tasks.company.example/mini-focus", true, true},
      {"about:blank", true, true},
      {"about:blank", false, true},
      {std::nullopt, true, true},
      {std::nullopt, false, false},
      {"https://passport.yandex.ru/auth", false, false},
      {"https://example.org/", false, false},
      {"https://tasks.company.example:8443/", false, false},
  };
  for (const auto& c : cases) {
    std::optional<Url> page = c.page ? url(*c.page) : std::nullopt;
    EXPECT_EQ(Navigation::trustsMessagesFrom(page, c.offline), c.trusted)
        << c.page.value_or("(none)") << " offline " << c.offline;
  }
}

}  // namespace
}  // namespace vuko
