// The main window against the stand-in task server: the page signs in, and
// the client reads the token and calls the API with it.
#include <gtest/gtest.h>

#include "devserver/DevServer.h"
#include "server/API.h"
#include "support/WebFixture.h"

using namespace vuko;
using namespace vuko::test;

TEST(DevServerClientTest, SignedInPageGivesTheTokenForApiCalls) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs a display";
  Defaults::setStandard(std::make_shared<MemoryDefaults>());
  dev::DevServer::Options options;
  options.demo = true;
  dev::DevServer server(options);
  Settings::useTestServer(Url::parse(server.url()));
  Settings::resetTestOverride();

  WebController controller(true);
  ASSERT_TRUE(waitUntil([&] {
    const char* u = webkit_web_view_get_uri(controller.webView());
    return u && std::string(u).find("/login") != std::string::npos &&
           !webkit_web_view_is_loading(controller.webView());
  })) << "signed out: the application sends the user to its sign-in page";
  EXPECT_EQ(run(controller.token()), std::nullopt);

  // Sign in the way the page does, and keep the token where it keeps it.
  std::string script =
      std::string(
          "fetch('/api/auth/login', {method: 'POST', headers: {'Content-Type': "
          "'application/json'}, body: JSON.stringify({email: '") +
      dev::DevServer::demoEmail() + "', password: '" + dev::DevServer::demoPassword() +
      "'})}).then(r => r.json()).then(j => localStorage.setItem('token', j.token)); true";
  WebController::evaluateJson(controller.webView(), script);
  std::optional<std::string> token;
  ASSERT_TRUE(waitUntil([&] {
    token = run(controller.token());
    return token.has_value();
  }));

  auto counts = run(API::request("/tasks/counts", *token));
  ASSERT_TRUE(counts.contains("today"));
  EXPECT_TRUE(counts["today"].is_number_integer());
  EXPECT_GT(counts["today"].get<int>(), 0);  // the demo has tasks for today

  try {
    run(API::request("/tasks/counts", "not-a-token"));
    ADD_FAILURE() << "a wrong token was accepted";
  } catch (const API::Failure& f) {
    EXPECT_EQ(f.kind(), API::Failure::Kind::notLoggedIn);
  }
  Settings::useTestServer(std::nullopt);
}
