// The stand-in server's web application in the client's own web engine: signed
// in to the demo account, every page shows its content and no script fails.
#include <gtest/gtest.h>

#include "devserver/DevServer.h"
#include "support/WebFixture.h"

using namespace vuko;
using namespace vuko::test;

namespace {

// Runs before the page's scripts and keeps every reported script error where
// the test can read it back: console.error calls, uncaught exceptions and
// rejected promises nobody handled.
constexpr const char* kErrorRecorder = R"JS(
(function () {
  const errors = (window.__pageErrors = []);
  const text = (v) => String(v) + (v && v.stack ? '\n' + v.stack : '');
  const original = console.error;
  console.error = function (...args) {
    errors.push('console.error: ' + args.map(text).join(' '));
    return original.apply(this, args);
  };
  window.addEventListener('error', (e) =>
    errors.push('error: ' + e.message + ' (' + e.filename + ':' + e.lineno + ')'));
  window.addEventListener('unhandledrejection', (e) => errors.push('unhandled: ' + text(e.reason)));
})();
)JS";

class DemoPagesTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs a display";
    dev::DevServer::Options options;
    options.demo = true;
    server = std::make_unique<dev::DevServer>(options);
    scope.emplace(server->url());
    controller = std::make_unique<WebController>(true);
    // Added before the first page loads (the probe runs first).
    WebKitUserScript* script =
        webkit_user_script_new(kErrorRecorder, WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                               WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
    webkit_user_content_manager_add_script(
        webkit_web_view_get_user_content_manager(controller->webView()), script);
    webkit_user_script_unref(script);
  }

  void TearDown() override {
    controller.reset();
    scope.reset();
  }

  std::optional<nlohmann::json> eval(const std::string& script) {
    auto future = WebController::evaluateJson(controller->webView(), script);
    std::optional<std::optional<nlohmann::json>> out;
    [](auto f, auto* result) -> Task<> { *result = co_await f; }(std::move(future), &out).detach();
    waitUntil([&] { return out.has_value(); });
    return out ? *out : std::nullopt;
  }

  bool pageIs(const std::string& path) {
    const char* u = webkit_web_view_get_uri(controller->webView());
    return u && std::string(u) == server->url() + path &&
           !webkit_web_view_is_loading(controller->webView());
  }

  // Signs in the way the sign-in page does and keeps what it keeps.
  void signIn() {
    ASSERT_TRUE(waitUntil([&] { return pageIs("/login"); }));
    eval(std::string("fetch('/api/auth/login', {method: 'POST', headers: {'Content-Type': "
                     "'application/json'}, body: JSON.stringify({email: '") +
         dev::DevServer::demoEmail() + "', password: '" + dev::DevServer::demoPassword() +
         "'})}).then(r => r.json()).then(j => { localStorage.setItem('token', j.token);"
         " localStorage.setItem('user', JSON.stringify(j.user)); window.signedIn = true; }); "
         "true");
    ASSERT_TRUE(
        waitUntil([&] { return eval("window.signedIn === true") == nlohmann::json(true); }));
  }

  std::unique_ptr<dev::DevServer> server;
  std::optional<SettingsScope> scope;
  std::unique_ptr<WebController> controller;
};

TEST_F(DemoPagesTest, EveryPageShowsItsContentWithoutScriptErrors) {
  signIn();
  // A script per page that is true once the page shows what it is for.
  const std::string noBadDate =
      "!/Invalid Date|NaN/.test(document.body.innerText) && "
      "document.querySelector('main.page').children.length > 0";
  struct Case {
    std::string path, shown;
  };
  const std::vector<Case> cases{
      // The demo's two tasks for today without a time of day.
      {"/today",
       noBadDate +
           " && (() => { const t = [...document.querySelectorAll('.tasks .title')]"
           ".map((e) => e.textContent);"
           " return t.includes('Оплатить интернет') && t.includes('Купить продукты'); })()"},
      {"/inbox", noBadDate + " && document.querySelector('section.list').children.length > 0"},
      // Seven days, the later ones named by date ("9 декабря").
      {"/week", noBadDate + " && (() => { const h = [...document.querySelectorAll('.group h3')]"
                            ".map((e) => e.firstChild.textContent);"
                            " return h.length >= 7 && h.some((t) => t.startsWith('Сегодня · ')) &&"
                            " h.some((t) => / · \\d{1,2} [а-яё]+$/.test(t)); })()"},
      // Six weeks of days, one of them today, under the month and year.
      {"/calendar",
       noBadDate + " && document.querySelectorAll('.month .cell').length === 42"
                   " && document.querySelectorAll('.month .cell.today').length === 1"
                   " && /^[А-ЯЁ][а-яё]+ \\d{4}$/.test(document.querySelector('h1').textContent)"},
      {"/focus",
       noBadDate + " && /^\\d+:\\d\\d$/.test(document.querySelector('.time').textContent)"},
      {"/settings", noBadDate + " && document.querySelector('#s-timezone').options.length > 0"},
      {"/settings/advanced",
       noBadDate + " && document.querySelectorAll('#hotkeys .hk-row.desktop').length === 3"},
      {"/mini-focus",
       "document.body.className === 'mini' &&"
       " /^\\d+:\\d\\d$/.test(document.querySelector('.time').textContent)"},
      {"/login", "document.querySelector('form.auth-card #email') !== null"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    controller->load(c.path);
    ASSERT_TRUE(waitUntil([&] { return pageIs(c.path); }));
    bool shown = waitUntil([&] {
      return eval("(() => { try { return " + c.shown + "; } catch (_) { return false; } })()") ==
             nlohmann::json(true);
    });
    auto errors = eval("window.__pageErrors");
    EXPECT_TRUE(shown) << "page text: " << eval("document.body.innerText").value_or(nullptr)
                       << "\nerrors: " << errors.value_or(nullptr);
    EXPECT_EQ(errors, nlohmann::json::array()) << errors.value_or(nullptr);
  }
}

}  // namespace
