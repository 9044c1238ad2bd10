#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/Defaults.h"
#include "server/Settings.h"
#include "web/PageMessages.h"

using namespace vuko;
using nlohmann::json;

namespace {

// A router whose handlers write what reached them into one log.
class PageMessagesTest : public testing::Test {
 protected:
  void SetUp() override {
    Defaults::setStandard(std::make_shared<MemoryDefaults>());
    Settings::useTestServer(std::nullopt);
    Settings::resetTestOverride();
    Settings::setServer(*Url::parse("http://tasks.company.example:8080"));
  }
  PageMessages router() {
    PageMessages::Handlers h;
    h.notify = [this](const std::string& title, const std::string& body, const std::string& tag) {
      log.push_back("notify " + title + "|" + body + "|" + tag);
    };
    h.askPermission = [this] { log.push_back("askPermission"); };
    h.tasksChanged = [this] { log.push_back("tasksChanged"); };
    h.retry = [this] { log.push_back("retry"); };
    h.chooseServer = [this] { log.push_back("chooseServer"); };
    h.sendHotkeys = [this] { log.push_back("sendHotkeys"); };
    h.setHotkey = [this](const std::string& id, const std::optional<GlobalCombo>& combo) {
      log.push_back("setHotkey " + id + " " + (combo ? combo->title() : "none"));
    };
    h.pauseHotkeys = [this] { log.push_back("pause"); };
    h.resumeHotkeys = [this] { log.push_back("resume"); };
    return PageMessages(std::move(h));
  }
  bool post(const json& body, const char* page = "http://tasks.company.example:8080/today",
            bool offline = false) {
    return router().route(Url::parse(page), offline, body);
  }

  std::vector<std::string> log;
};

}  // namespace

TEST_F(PageMessagesTest, EachMessageReachesItsHandler) {
  struct Case {
    json body;
    std::vector<std::string> reached;
  } cases[] = {
      {{{"type", "notify"}, {"title", "Купить хлеб"}, {"body", "в 18:00"}, {"tag", "t1"}},
       {"notify Купить хлеб|в 18:00|t1"}},
      {{{"type", "notify"}}, {"notify Vuko||"}},
      {{{"type", "notifyPermission"}}, {"askPermission"}},
      {{{"type", "tasksChanged"}}, {"tasksChanged"}},
      {{{"type", "retry"}}, {"retry"}},
      {{{"type", "chooseServer"}}, {"chooseServer"}},
      {{{"type", "getGlobalHotkeys"}}, {"sendHotkeys"}},
      {{{"type", "pauseGlobalHotkeys"}}, {"pause"}},
      {{{"type", "resumeGlobalHotkeys"}}, {"resume"}},
  };
  for (const auto& c : cases) {
    log.clear();
    EXPECT_TRUE(post(c.body)) << c.body.dump();
    EXPECT_EQ(log, c.reached) << c.body.dump();
  }
}

TEST_F(PageMessagesTest, SettingAHotkeyPushesTheListBack) {
  json combo = {{"code", "KeyK"}, {"ctrl", true}, {"alt", false}, {"shift", true}, {"meta", false}};
  EXPECT_TRUE(post({{"type", "setGlobalHotkey"}, {"id", "quick"}, {"combo", combo}}));
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].rfind("setHotkey quick ", 0), 0u) << log[0];
  EXPECT_NE(log[0], "setHotkey quick none");
  EXPECT_EQ(log[1], "sendHotkeys");

  // A null combination clears the key; one without a code clears it too.
  for (const json& cleared : {json(nullptr), json{{"ctrl", true}}}) {
    log.clear();
    EXPECT_TRUE(post({{"type", "setGlobalHotkey"}, {"id", "show"}, {"combo", cleared}}));
    EXPECT_EQ(log, (std::vector<std::string>{"setHotkey show none", "sendHotkeys"}));
  }
}

TEST_F(PageMessagesTest, MessagesTheClientDoesNotKnowAreDropped) {
  for (const json& body : {json("notify"), json::object(), json{{"type", "closeWindow"}},
                           json{{"type", 7}}, json{{"type", "setGlobalHotkey"}}}) {
    EXPECT_FALSE(post(body)) << body.dump();
  }
  EXPECT_TRUE(log.empty());
}

TEST_F(PageMessagesTest, OnlyOurPagesMayDriveTheClient) {
  json body = {{"type", "pauseGlobalHotkeys"}};
  for (const char* page : {"https://id.company.example/login", "http://tasks.company.example/today",
                           "http://tasks.company.example:8081/today"}) {
    EXPECT_FALSE(post(body, page)) << page;
    EXPECT_FALSE(post(body, page, true)) << page;
  }
  EXPECT_TRUE(log.empty());
  EXPECT_TRUE(post(body, "http://TASKS.company.example:8080/x"));
  EXPECT_TRUE(post(body, "about:blank"));
  EXPECT_EQ(log.size(), 2u);
}

TEST_F(PageMessagesTest, APageWithoutAnAddressIsTrustedOnlyAsTheOfflinePage) {
  PageMessages r = router();
  EXPECT_FALSE(r.route(std::nullopt, false, {{"type", "retry"}}));
  EXPECT_TRUE(log.empty());
  EXPECT_TRUE(r.route(std::nullopt, true, {{"type", "retry"}}));
  EXPECT_EQ(log, std::vector<std::string>{"retry"});
}

TEST_F(PageMessagesTest, UnsetHandlersDropTheirMessages) {
  PageMessages empty{{}};
  for (const char* type :
       {"notify", "notifyPermission", "tasksChanged", "retry", "chooseServer", "getGlobalHotkeys",
        "setGlobalHotkey", "pauseGlobalHotkeys", "resumeGlobalHotkeys"}) {
    EXPECT_TRUE(empty.route(Url::parse("http://tasks.company.example:8080/"), false,
                            {{"type", type}, {"id", "quick"}}))
        << type;
  }
}
