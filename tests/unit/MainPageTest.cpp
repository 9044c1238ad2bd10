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
    lastScript = script;
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
  std::string lastScript;
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
    self->view.calls.push_back("probe " + server.str());
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
  const std::string probe = "probe " + std::string(kServer);

  test::SettingsScope settings{kServer};
  std::shared_ptr<test::FakeClock> clock = std::make_shared<test::FakeClock>();
  ScriptedView view;
  std::vector<Future<std::optional<std::string>>::Resolver> probes;
  std::unique_ptr<MainPage> page;
};

// The user may switch servers while the probe runs: its answer belongs to
// the old server and must not replace the new server's page.
TEST_F(MainPageTest, OpenProbesTheServerTakenAtTheStartAndActsOnItsAnswer) {
  const std::tuple<std::optional<std::string>, bool, Calls> cases[] = {
      {std::nullopt, false, {probe, at("/inbox")}},
      {"Сервер не отвечает", false, {probe, "html"}},
      {std::nullopt, true, {probe}},
      {"Сервер не отвечает", true, {probe}},
  };
  for (const auto& [answer, switched, calls] : cases) {
    SCOPED_TRACE(answer.value_or("healthy") + (switched ? ", switched" : ""));
    Settings::setServer(*Url::parse(kServer));
    onOfflinePage();
    page->open("/inbox");
    EXPECT_FALSE(page->offline());  // at once, before the answer
    if (switched) Settings::setServer(*Url::parse("https://other.company.example"));
    probes.back()(answer);
    EXPECT_EQ(view.calls, calls);
    EXPECT_EQ(page->offline(), calls.back() == "html");
    EXPECT_TRUE(!page->offline() || shows(*answer));
  }
}

TEST_F(MainPageTest, ReloadReloadsThePageOrProbesAgainForToday) {
  onServerPage();
  page->reload();
  EXPECT_EQ(view.calls, Calls{"reload"});
  onOfflinePage();
  page->reload();
  EXPECT_FALSE(page->offline());
  probes.back()(std::nullopt);
  EXPECT_EQ(view.calls, (Calls{probe, at("/today")}));
}

TEST_F(MainPageTest, AnswersAfterThePageIsGoneAreDropped) {
  onServerPage();
  page->go("/calendar");
  page->open("/today");
  page.reset();
  view.answers.at(0)(json(false));
  probes.at(0)("Сервер не отвечает");
  EXPECT_EQ(view.calls, (Calls{"eval", probe}));
}

TEST_F(MainPageTest, GoUsesThePageRouterOnlyOnTheServersPage) {
  // The page shown ("offline": the offline page), the router's answer.
  const std::tuple<std::string, std::optional<json>, Calls> cases[] = {
      {kServer, json(true), {"eval"}},
      {kServer, json(false), {"eval", at("/calendar")}},
      {kServer, std::nullopt, {"eval", at("/calendar")}},  // the script failed
      {"offline", std::nullopt, {at("/calendar")}},
      {"", std::nullopt, {at("/calendar")}},  // no page yet
  };
  for (const auto& [shown, routerAnswer, calls] : cases) {
    SCOPED_TRACE(shown);
    shown == "offline" ? onOfflinePage() : onServerPage();
    if (shown != "offline") view.current = Url::parse(shown);
    view.answers.clear();
    page->go("/calendar");
    if (!view.answers.empty()) view.answers[0](routerAnswer);
    EXPECT_EQ(view.calls, calls);
    EXPECT_FALSE(page->offline());
  }
}

// The path is quoted into a script: no path may break out of it.
TEST_F(MainPageTest, TheRouterGetsThePathIntactAndIsOptional) {
  const std::string path = "/today?q=it's \"quoted\"</script>\\";
  onServerPage();
  page->go(path);
  test::Page js;
  js.eval("window.vukoGo = (p) => { window.routed = p; };");
  EXPECT_EQ(js.eval(view.lastScript), json(true));
  EXPECT_EQ(js.eval("[window.routed, called.length]"), json({path, 0}));
  js.eval("delete window.vukoGo;");
  EXPECT_EQ(js.eval(view.lastScript), json(false));
}

// The engine has no request time limit of its own.
TEST_F(MainPageTest, ALoadWithoutAFirstAnswerInSixtySecondsShowsTheOfflinePage) {
  // What happens between the start of a load and the limit; whether it times out.
  const std::pair<std::function<void()>, bool> cases[] = {
      {[] {}, true},
      {[this] {  // a new load restarts the limit
         clock->advance(seconds(30));
         page->loadStarted();
       },
       true},
      {[this] { page->loadCommitted(); }, false},
      {[this] { page->loadFinished(); }, false},
      {[this] { page->loadFailed(true, {}, Failure::cancelled, ""); }, false},
      {[this] { page->showOffline("down"); }, false},
  };
  page->setVisible(false);  // the offline page's retries wait
  int row = 0;
  for (const auto& [then, timesOut] : cases) {
    SCOPED_TRACE(++row);
    onServerPage();
    page->loadStarted();
    then();
    view.calls.clear();
    clock->advance(seconds(59));
    EXPECT_TRUE(view.calls.empty());
    clock->advance(seconds(1));
    EXPECT_EQ(view.calls, (timesOut ? Calls{"stop", "html"} : Calls{}));
    EXPECT_TRUE(!timesOut || (page->offline() && shows(kTimedOut)));
    EXPECT_EQ(clock->pending(), 0u);
  }
}

// Each failed retry waits longer, the last wait repeating; never two probes
// at once; nothing while the window is hidden; an answer starts afresh.
TEST_F(MainPageTest, TheOfflinePageRetriesByItselfWhileSeen) {
  auto countdown = [&](int s) { return shows("через <span id=\"n\">" + std::to_string(s) + "<"); };
  onOfflinePage();
  for (int wait : {5, 15, 30, 60, 60}) {
    SCOPED_TRACE(wait);
    EXPECT_TRUE(countdown(wait));
    const auto before = probes.size();
    clock->advance(seconds(wait - 1));
    page->networkChanged(false);
    EXPECT_EQ(probes.size(), before);
    clock->advance(seconds(1));
    page->reload();
    page->networkChanged(true);
    ASSERT_EQ(probes.size(), before + 1);
    probes.back()("Сервер не отвечает");
  }
  page->setVisible(false);
  EXPECT_EQ(clock->pending(), 0u);
  page->showOffline("down");
  EXPECT_FALSE(shows("Повторим"));
  page->networkChanged(true);
  const auto hidden = probes.size();
  page->setVisible(true);
  ASSERT_EQ(probes.size(), hidden + 1);
  probes.back()(std::nullopt);
  EXPECT_EQ(view.calls.back(), at("/today"));
  page->showOffline("down");
  EXPECT_TRUE(countdown(5));
  page->networkChanged(true);
  EXPECT_EQ(probes.size(), hidden + 2);
}

TEST_F(MainPageTest, OnlyFailuresBeforeTheFirstAnswerOfOurPagesShowTheOfflinePage) {
  const std::string today = std::string(kServer) + "/today";
  const std::tuple<bool, std::optional<std::string>, Failure, bool> cases[] = {
      {true, today, Failure::other, true},
      {true, std::nullopt, Failure::other, true},
      {true, "https://" + *Navigation::authHosts().begin() + "/", Failure::other, true},
      {false, today, Failure::other, false},
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
