#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ScriptPage.h"
#include "support/FakeClock.h"
#include "support/SettingsScope.h"
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

class MainPageTest : public testing::Test {
 protected:
  void SetUp() override {
    Clock::setMain(clock);
    page = std::make_unique<MainPage>(
        view, [this](Url server) { return hold(this, std::move(server)); }, kTimedOut);
  }
  void TearDown() override { Clock::setMain(nullptr); }

  // A probe held until the test answers it.
  static Task<std::optional<std::string>> hold(MainPageTest* self, Url server) {
    Future<std::optional<std::string>> answer;
    self->probed.push_back(server.str());
    self->probes.push_back(answer.resolver());
    co_return co_await answer;
  }
  void onServerPage() {
    page->load("/today");
    view.calls.clear();
  }
  void onOfflinePage() {
    page->showOffline("down");
    view.calls.clear();
  }
  bool shows(const std::string& text) const { return view.html.find(text) != std::string::npos; }
  static std::string at(const std::string& path) { return "url " + std::string(kServer) + path; }

  test::SettingsScope settings{kServer};
  std::shared_ptr<test::FakeClock> clock = std::make_shared<test::FakeClock>();
  ScriptedView view;
  std::vector<std::string> probed;
  std::vector<Future<std::optional<std::string>>::Resolver> probes;
  std::unique_ptr<MainPage> page;
};

TEST_F(MainPageTest, OpenProbesTheServerTakenAtTheStartAndActsOnItsAnswer) {
  struct Case {
    std::optional<std::string> answer;
    bool serverSwitched;
    Calls calls;
  };
  const Case cases[] = {
      {std::nullopt, false, {at("/inbox")}},
      {"Сервер не отвечает", false, {"html"}},
      // A late answer about the previous server changes nothing.
      {std::nullopt, true, {}},
      {"Сервер не отвечает", true, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer.value_or("healthy") + (c.serverSwitched ? ", switched" : ""));
    Settings::setServer(*Url::parse(kServer));
    probed.clear();
    probes.clear();
    onOfflinePage();

    page->open("/inbox");
    EXPECT_FALSE(page->offline());  // at once, before the answer
    EXPECT_EQ(probed, Calls{kServer});
    EXPECT_TRUE(view.calls.empty());

    if (c.serverSwitched) Settings::setServer(*Url::parse("https://other.company.example"));
    probes.at(0)(c.answer);
    EXPECT_EQ(view.calls, c.calls);
    EXPECT_EQ(page->offline(), c.calls == Calls{"html"});
    EXPECT_TRUE(!page->offline() || shows(*c.answer));
  }
}

TEST_F(MainPageTest, ReloadReloadsThePageOrProbesAgainForToday) {
  onServerPage();
  page->reload();
  EXPECT_EQ(view.calls, Calls{"reload"});
  EXPECT_TRUE(probes.empty());

  onOfflinePage();
  page->reload();
  EXPECT_FALSE(page->offline());
  ASSERT_EQ(probes.size(), 1u);
  probes[0](std::nullopt);
  EXPECT_EQ(view.calls, Calls{at("/today")});
}

TEST_F(MainPageTest, AnswersAfterThePageIsGoneAreDropped) {
  onServerPage();
  page->go("/calendar");
  page->open("/today");
  page.reset();
  view.answers.at(0)(json(false));
  probes.at(0)("Сервер не отвечает");
  EXPECT_EQ(view.calls, Calls{"eval"});
}

TEST_F(MainPageTest, GoUsesThePageRouterOnlyOnTheServersPage) {
  struct Case {
    const char* shown;                 // "offline": the offline page
    std::optional<json> routerAnswer;  // when the router is asked
    Calls calls;
  };
  const std::string signIn = "https://" + *Navigation::authHosts().begin() + "/";
  const Case cases[] = {
      {kServer, json(true), {"eval"}},
      {kServer, json(false), {"eval", at("/calendar")}},
      {kServer, json("true"), {"eval", at("/calendar")}},
      {kServer, std::nullopt, {"eval", at("/calendar")}},  // the script failed
      {"offline", std::nullopt, {at("/calendar")}},
      {signIn.c_str(), std::nullopt, {at("/calendar")}},
      {nullptr, std::nullopt, {at("/calendar")}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shown ? c.shown : "no page yet");
    std::string shown = c.shown ? c.shown : "";
    shown == "offline" ? onOfflinePage() : onServerPage();
    if (shown != "offline") view.current = Url::parse(shown);
    view.answers.clear();
    page->go("/calendar");
    if (!view.answers.empty()) view.answers[0](c.routerAnswer);
    EXPECT_EQ(view.calls, c.calls);
    EXPECT_FALSE(page->offline());
  }
}

// The path is quoted into a script: no path may break out of it.
TEST_F(MainPageTest, TheRouterGetsThePathIntactAndIsOptional) {
  const std::string path = "/today?q=it's \"quoted\"</script>\\";
  onServerPage();
  page->go(path);
  ASSERT_EQ(view.scripts.size(), 1u);

  test::Page js;
  js.eval("window.vukoGo = (p) => { window.routed = p; };");
  EXPECT_EQ(js.eval(view.scripts[0]), json(true));
  EXPECT_EQ(js.eval("[window.routed, called.length]"), json({path, 0}));
  js.eval("delete window.vukoGo;");
  EXPECT_EQ(js.eval(view.scripts[0]), json(false));
}

TEST_F(MainPageTest, ALoadWithoutAFirstAnswerInSixtySecondsShowsTheOfflinePage) {
  // What happens between the start of a load and the limit.
  struct Case {
    const char* name;
    std::function<void()> then;
    bool timesOut;
  };
  const Case cases[] = {
      {"no answer", [] {}, true},
      {"a new load restarts the limit",
       [this] {
         clock->advance(seconds(30));
         page->loadStarted();
       },
       true},
      {"first answer", [this] { page->loadCommitted(); }, false},
      {"finished", [this] { page->loadFinished(); }, false},
      {"failed, ignored", [this] { page->loadFailed(true, {}, Failure::cancelled, ""); }, false},
      {"offline page", [this] { page->showOffline("down"); }, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    onServerPage();
    page->loadStarted();
    c.then();
    bool offlineBefore = page->offline();
    view.calls.clear();
    clock->advance(seconds(59));
    EXPECT_TRUE(view.calls.empty());
    clock->advance(seconds(1));
    EXPECT_EQ(view.calls, (c.timesOut ? Calls{"stop", "html"} : Calls{}));
    EXPECT_EQ(page->offline(), c.timesOut || offlineBefore);
    EXPECT_TRUE(!c.timesOut || shows(kTimedOut));
    EXPECT_EQ(clock->pending(), 0u);
  }
}

TEST_F(MainPageTest, OnlyFailuresBeforeTheFirstAnswerOfOurPagesShowTheOfflinePage) {
  const std::string today = std::string(kServer) + "/today";
  const std::tuple<bool, std::optional<std::string>, Failure, bool> cases[] = {
      {true, today, Failure::other, true},
      {true, std::nullopt, Failure::other, true},
      {true, "https://" + *Navigation::authHosts().begin() + "/", Failure::other, true},
      {false, today, Failure::other, false},
      {true, today, Failure::cancelled, false},
      {true, today, Failure::userChoice, false},                    // a download or a cancel
      {true, "mailto:someone@example.org", Failure::other, false},  // handed outside
  };
  for (const auto& [beforeFirstAnswer, address, failure, offline] : cases) {
    SCOPED_TRACE(address.value_or("(none)") + " " + std::to_string(int(failure)));
    onServerPage();
    page->loadFailed(beforeFirstAnswer, address ? Url::parse(*address) : std::nullopt, failure,
                     "Нет сети");
    EXPECT_EQ(view.calls, (offline ? Calls{"html"} : Calls{}));
    EXPECT_TRUE(!offline || (page->offline() && shows("Нет сети")));
  }
}

// Which pages are sign-in pages is the navigation policy's; never the offline page.
TEST_F(MainPageTest, AFinishedLoadTellsWhetherTheServerAskedToSignIn) {
  onServerPage();
  view.current = Url::parse(std::string(kServer) + "/login");
  EXPECT_TRUE(page->loadFinished());
  onOfflinePage();
  view.current = Url::parse(std::string(kServer) + "/login");
  EXPECT_FALSE(page->loadFinished());
}

}  // namespace
}  // namespace vuko
