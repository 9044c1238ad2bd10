#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ScriptPage.h"
#include "server/Settings.h"
#include "support/FakeClock.h"
#include "web/MainPage.h"
#include "web/NavigationPolicy.h"

namespace vuko {
namespace {

using nlohmann::json;
using std::chrono::seconds;
using Failure = MainPage::Failure;
using Calls = std::vector<std::string>;

constexpr const char* kServer = "https://tasks.company.example";
constexpr const char* kTimedOut = "Превышен лимит времени на запрос.";

// A view that records what it is asked to do and answers scripts when the
// test says so.
class ScriptedView final : public WebView {
 public:
  void loadUrl(const Url& url) override {
    calls.push_back("url " + url.str());
    current = url;
  }
  void loadHtml(const std::string& page) override {
    calls.push_back("html");
    html = page;
    current = Url::parse("about:blank");
  }
  Future<std::optional<json>> evaluate(const std::string& script) override {
    calls.push_back("eval");
    scripts.push_back(script);
    Future<std::optional<json>> result;
    answers.push_back(result.resolver());
    return result;
  }
  std::optional<Url> currentUrl() const override { return current; }
  void stop() override { calls.push_back("stop"); }
  void reload() override { calls.push_back("reload"); }

  Calls calls;
  std::string html;
  std::optional<Url> current;
  std::vector<std::string> scripts;
  std::vector<Future<std::optional<json>>::Resolver> answers;
};

struct HeldProbe {
  Url server;
  Future<std::optional<std::string>>::Resolver answer;
};

class MainPageTest : public testing::Test {
 protected:
  void SetUp() override {
    Clock::setMain(clock);
    Settings::setServer(*Url::parse(kServer));
    page = std::make_unique<MainPage>(
        view, [this](Url server) { return hold(this, std::move(server)); }, kTimedOut);
  }
  void TearDown() override { Clock::setMain(nullptr); }

  static Task<std::optional<std::string>> hold(MainPageTest* self, Url server) {
    Future<std::optional<std::string>> answer;
    self->probes.push_back({std::move(server), answer.resolver()});
    co_return co_await answer;
  }

  // A page of the server shown and the view's record cleared.
  void onServerPage(const std::string& path = "/today") {
    page->load(path);
    view.calls.clear();
  }
  void onOfflinePage() {
    page->showOffline("down");
    view.calls.clear();
  }

  static std::string at(const std::string& path) { return "url " + std::string(kServer) + path; }

  std::shared_ptr<test::FakeClock> clock = std::make_shared<test::FakeClock>();
  ScriptedView view;
  std::vector<HeldProbe> probes;
  std::unique_ptr<MainPage> page;
};

TEST_F(MainPageTest, OpenProbesTheServerTakenAtTheStartAndActsOnItsAnswer) {
  struct Case {
    std::optional<std::string> answer;
    bool serverSwitched;
    Calls calls;
    bool offline;
  };
  const Case cases[] = {
      {std::nullopt, false, {at("/inbox")}, false},
      {"Сервер <не> отвечает & молчит", false, {"html"}, true},
      // A late answer about the previous server changes nothing.
      {std::nullopt, true, {}, false},
      {"Сервер не отвечает", true, {}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer.value_or("healthy") + (c.serverSwitched ? ", switched" : ""));
    Settings::setServer(*Url::parse(kServer));
    probes.clear();
    onOfflinePage();

    page->open("/inbox");
    EXPECT_FALSE(page->offline());  // at once, before the answer
    ASSERT_EQ(probes.size(), 1u);
    EXPECT_EQ(probes[0].server.str(), kServer);
    EXPECT_TRUE(view.calls.empty());

    if (c.serverSwitched) Settings::setServer(*Url::parse("https://other.company.example"));
    probes[0].answer(c.answer);
    EXPECT_EQ(view.calls, c.calls);
    EXPECT_EQ(page->offline(), c.offline);
    if (c.offline) {
      EXPECT_NE(view.html.find("Сервер &lt;не> отвечает & молчит"), std::string::npos);
      EXPECT_NE(view.html.find(std::string("<code>") + kServer + "</code>"), std::string::npos);
    }
  }
}

TEST_F(MainPageTest, AProbeAnsweredAfterThePageIsGoneIsDropped) {
  page->open("/today");
  ASSERT_EQ(probes.size(), 1u);
  page.reset();
  probes[0].answer("Сервер не отвечает");
  EXPECT_TRUE(view.calls.empty());
}

TEST_F(MainPageTest, ReloadReloadsThePageOrProbesAgainForToday) {
  onServerPage("/inbox");
  page->reload();
  EXPECT_EQ(view.calls, Calls{"reload"});
  EXPECT_TRUE(probes.empty());

  onOfflinePage();
  page->reload();
  EXPECT_FALSE(page->offline());
  ASSERT_EQ(probes.size(), 1u);
  probes[0].answer(std::nullopt);
  EXPECT_EQ(view.calls, Calls{at("/today")});
}

TEST_F(MainPageTest, GoUsesThePageRouterOnlyOnTheServersPage) {
  enum class Shown { serverPage, offlinePage, foreignPage, nothing };
  struct Case {
    const char* name;
    Shown shown;
    std::optional<json> routerAnswer;  // when the router is asked
    Calls calls;
  };
  const Case cases[] = {
      {"routed", Shown::serverPage, json(true), {"eval"}},
      {"router declined", Shown::serverPage, json(false), {"eval", at("/calendar")}},
      {"odd answer", Shown::serverPage, json("true"), {"eval", at("/calendar")}},
      {"script failed", Shown::serverPage, std::nullopt, {"eval", at("/calendar")}},
      {"offline page", Shown::offlinePage, std::nullopt, {at("/calendar")}},
      {"sign-in page", Shown::foreignPage, std::nullopt, {at("/calendar")}},
      {"no page yet", Shown::nothing, std::nullopt, {at("/calendar")}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    switch (c.shown) {
      case Shown::serverPage:
        onServerPage();
        break;
      case Shown::offlinePage:
        onOfflinePage();
        break;
      case Shown::foreignPage:
        onServerPage();
        view.current = Url::parse("https://" + *Navigation::authHosts().begin() + "/");
        break;
      case Shown::nothing:
        view.current.reset();
        break;
    }
    view.answers.clear();
    page->go("/calendar");
    if (!view.answers.empty()) view.answers[0](c.routerAnswer);
    EXPECT_EQ(view.calls, c.calls);
    EXPECT_FALSE(page->offline());
    view.calls.clear();
  }
}

TEST_F(MainPageTest, TheRouterGetsThePathIntactAndIsOptional) {
  const std::string path = "/today?q=it's \"quoted\"</script>\\";
  onServerPage();
  page->go(path);
  ASSERT_EQ(view.scripts.size(), 1u);

  test::Page js;
  js.eval("window.vukoGo = (p) => { window.routed = p; };");
  EXPECT_EQ(js.eval(view.scripts[0]), json(true));
  EXPECT_EQ(js.eval("window.routed"), json(path));
  EXPECT_EQ(js.eval("called.length"), json(0));
  js.eval("delete window.vukoGo;");
  EXPECT_EQ(js.eval(view.scripts[0]), json(false));
}

TEST_F(MainPageTest, ARouterAnswerAfterThePageIsGoneIsDropped) {
  onServerPage();
  page->go("/calendar");
  ASSERT_EQ(view.answers.size(), 1u);
  page.reset();
  view.answers[0](json(false));
  EXPECT_EQ(view.calls, Calls{"eval"});
}

TEST_F(MainPageTest, ALoadWithoutAFirstAnswerInSixtySecondsShowsTheOfflinePage) {
  // What happens between the start of a load and the limit.
  struct Case {
    const char* name;
    std::function<void(MainPage&)> then;
    bool timesOut;
  };
  const Case cases[] = {
      {"no answer", [](MainPage&) {}, true},
      {"first answer", [](MainPage& p) { p.loadCommitted(); }, false},
      {"finished", [](MainPage& p) { p.loadFinished(); }, false},
      {"failed, ignored", [](MainPage& p) { p.loadFailed(true, {}, Failure::cancelled, ""); },
       false},
      {"offline page", [](MainPage& p) { p.showOffline("down"); }, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    onServerPage();
    page->loadStarted();
    c.then(*page);
    bool offlineBefore = page->offline();
    view.calls.clear();
    clock->advance(seconds(59));
    EXPECT_TRUE(view.calls.empty());
    clock->advance(seconds(1));
    EXPECT_EQ(view.calls, (c.timesOut ? Calls{"stop", "html"} : Calls{}));
    EXPECT_EQ(page->offline(), c.timesOut || offlineBefore);
    if (c.timesOut) {
      EXPECT_NE(view.html.find(kTimedOut), std::string::npos);
    }
    EXPECT_EQ(clock->pending(), 0u);
  }
}

TEST_F(MainPageTest, ANewLoadRestartsTheLimit) {
  onServerPage();
  page->loadStarted();
  clock->advance(seconds(30));
  page->loadStarted();
  clock->advance(seconds(59));
  EXPECT_TRUE(view.calls.empty());
  clock->advance(seconds(1));
  EXPECT_EQ(view.calls, (Calls{"stop", "html"}));
}

TEST_F(MainPageTest, OnlyFailuresBeforeTheFirstAnswerOfOurPagesShowTheOfflinePage) {
  struct Case {
    const char* name;
    bool beforeFirstAnswer;
    std::optional<std::string> failing;
    Failure failure;
    bool offline;
  };
  const std::string signIn = "https://" + *Navigation::authHosts().begin() + "/";
  const Case cases[] = {
      {"server page", true, std::string(kServer) + "/today", Failure::other, true},
      {"no address", true, std::nullopt, Failure::other, true},
      {"sign-in page", true, signIn, Failure::other, true},
      {"after the first answer", false, std::string(kServer) + "/today", Failure::other, false},
      {"cancelled", true, std::string(kServer) + "/today", Failure::cancelled, false},
      {"download or cancel", true, std::string(kServer) + "/file", Failure::userChoice, false},
      {"handed outside", true, "https://example.org/", Failure::other, false},
      {"mail link", true, "mailto:someone@example.org", Failure::other, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    onServerPage();
    std::optional<Url> failing;
    if (c.failing) failing = Url::parse(*c.failing);
    page->loadFailed(c.beforeFirstAnswer, failing, c.failure, "Нет сети");
    EXPECT_EQ(page->offline(), c.offline);
    EXPECT_EQ(view.calls, (c.offline ? Calls{"html"} : Calls{}));
    if (c.offline) {
      EXPECT_NE(view.html.find("Нет сети"), std::string::npos);
    }
  }
}

TEST_F(MainPageTest, AFinishedLoadTellsWhetherTheServerAskedToSignIn) {
  struct Case {
    std::string shown;
    bool offline;
    bool signIn;
  };
  const Case cases[] = {
      {std::string(kServer) + "/login", false, true},
      {std::string(kServer) + "/today", false, false},
      {"https://" + *Navigation::authHosts().begin() + "/login", false, false},
      {std::string(kServer) + "/login", true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shown + (c.offline ? ", offline" : ""));
    if (c.offline) onOfflinePage();
    view.current = Url::parse(c.shown);
    EXPECT_EQ(page->loadFinished(), c.signIn);
    page->load("/today");
  }
}

}  // namespace
}  // namespace vuko
