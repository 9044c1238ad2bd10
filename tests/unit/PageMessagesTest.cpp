#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/SettingsScope.h"
#include "web/PageMessages.h"

using namespace vuko;
using nlohmann::json;

namespace {

constexpr const char* kPage = "http://tasks.company.example:8080/today";

// A router whose handlers write what reached them into one log.
class PageMessagesTest : public testing::Test {
 protected:
  PageMessages router() {
    auto note = [this](const char* what) { return [this, what] { log.push_back(what); }; };
    PageMessages::Handlers h{
        .notify = [this](const std::string& title, const std::string& body,
                         const std::string& tag) { log.push_back(title + "|" + body + "|" + tag); },
        .askPermission = note("askPermission"),
        .tasksChanged = note("tasksChanged"),
        .retry = note("retry"),
        .chooseServer = note("chooseServer"),
        .sendHotkeys = note("sendHotkeys"),
        .setHotkey =
            [this](const std::string& id, const std::optional<GlobalCombo>& combo) {
              log.push_back(id + " " + (combo ? combo->title() : "none"));
            },
        .pauseHotkeys = note("pause"),
        .resumeHotkeys = note("resume"),
    };
    return PageMessages(std::move(h));
  }
  bool post(const json& body, std::optional<Url> page = Url::parse(kPage), bool offline = false) {
    return router().route(page, offline, body);
  }

  test::SettingsScope settings{"http://tasks.company.example:8080"};
  std::vector<std::string> log;
};

}  // namespace

TEST_F(PageMessagesTest, EachMessageReachesItsHandler) {
  const std::pair<json, std::vector<std::string>> cases[] = {
      {{{"type", "notify"}, {"title", "Купить хлеб"}, {"body", "в 18:00"}, {"tag", "t1"}},
       {"Купить хлеб|в 18:00|t1"}},
      {{{"type", "notifyPermission"}}, {"askPermission"}},
      {{{"type", "tasksChanged"}}, {"tasksChanged"}},
      {{{"type", "retry"}}, {"retry"}},
      {{{"type", "chooseServer"}}, {"chooseServer"}},
      {{{"type", "getGlobalHotkeys"}}, {"sendHotkeys"}},
      {{{"type", "pauseGlobalHotkeys"}}, {"pause"}},
      {{{"type", "resumeGlobalHotkeys"}}, {"resume"}},
      // The page shows what the system took, which may differ from the ask.
      {{{"type", "setGlobalHotkey"},
        {"id", "quick"},
        {"combo", {{"code", "KeyK"}, {"ctrl", true}}}},
       {"quick Ctrl+K", "sendHotkeys"}},
      {{{"type", "setGlobalHotkey"}, {"id", "show"}, {"combo", nullptr}},
       {"show none", "sendHotkeys"}},
  };
  for (const auto& [body, reached] : cases) {
    log.clear();
    EXPECT_TRUE(post(body)) << body;
    EXPECT_EQ(log, reached) << body;
  }
}

// Only our own pages may drive the client: a sign-in page shown in the window
// must not rebind hot keys or post notifications.
TEST_F(PageMessagesTest, UnknownMessagesAndForeignPagesAreDropped) {
  const json pause = {{"type", "pauseGlobalHotkeys"}};
  EXPECT_FALSE(post({{"type", "closeWindow"}}));
  EXPECT_FALSE(post(pause, Url::parse("https://id.company.example/login")));
  EXPECT_FALSE(post(pause, Url::parse("https://id.company.example/login"), true));
  EXPECT_FALSE(post(pause, std::nullopt));
  EXPECT_TRUE(log.empty());
  EXPECT_TRUE(post(pause, std::nullopt, true));  // the offline page has no address
  EXPECT_EQ(log, std::vector<std::string>{"pause"});
}

TEST_F(PageMessagesTest, UnsetHandlersDropTheirMessages) {
  PageMessages empty{{}};
  for (const char* type :
       {"notify", "notifyPermission", "tasksChanged", "retry", "chooseServer", "getGlobalHotkeys",
        "setGlobalHotkey", "pauseGlobalHotkeys", "resumeGlobalHotkeys"}) {
    EXPECT_TRUE(empty.route(Url::parse(kPage), false, {{"type", type}, {"id", "quick"}})) << type;
  }
}
