#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "platform/Defaults.h"
#include "server/ServerChoice.h"
#include "server/Settings.h"

using namespace vuko;

namespace {

class ServerChoiceTest : public testing::Test {
 protected:
  void SetUp() override {
    store = std::make_shared<MemoryDefaults>();
    Defaults::setStandard(store);
    unsetenv("VUKO_TEST_SERVER");
    Settings::resetTestOverride();
  }
  // A probe that answers from a table (addresses not in it fail) and records
  // what it was asked.
  ServerChoice::Probe probe() {
    return [this](Url u) -> Task<std::optional<std::string>> {  // lives with its owner
      asked.push_back(u.str());
      auto it = answers.find(u.str());
      if (it != answers.end() && it->second) co_return std::nullopt;
      co_return "failed " + u.str();
    };
  }
  ServerChoice::Outcome probeNow(const std::string& typed, bool own = true) {
    auto first = ServerChoice::firstAddress(own, typed);
    EXPECT_TRUE(first) << typed;
    auto task = ServerChoice::probe(*first, own, typed, probe());
    EXPECT_TRUE(task.done());
    return task.result();
  }
  std::shared_ptr<MemoryDefaults> store;
  std::map<std::string, bool> answers;  // address → answers as a task server
  std::vector<std::string> asked;
};

}  // namespace

TEST_F(ServerChoiceTest, TextsNameTheConfiguredHosts) {
  EXPECT_EQ(ServerChoice::publicTitle(), "Общий сервер «Vuko» — app.vuko.example");
  EXPECT_EQ(ServerChoice::placeholder(), "tasks.company.example или localhost:5300");
  EXPECT_EQ(ServerChoice::badAddress(), "Введите адрес сервера, например tasks.company.example");
}

TEST_F(ServerChoiceTest, FirstAddressIsTheNormalisedTextOrThePublicServer) {
  EXPECT_EQ(ServerChoice::firstAddress(true, " nas.local:8080/x ")->str(), "http://nas.local:8080");
  EXPECT_FALSE(ServerChoice::firstAddress(true, "   "));
  EXPECT_FALSE(ServerChoice::firstAddress(true, "ftp://files.company.example"));
  // The typed text does not matter for the public choice.
  EXPECT_EQ(ServerChoice::firstAddress(false, "ftp://x")->str(), "https://app.vuko.example");
  EXPECT_EQ(ServerChoice::firstAddress(false, "")->str(), "https://app.vuko.example");
}

TEST_F(ServerChoiceTest, PlainRetryOnlyForOwnServerTypedWithoutScheme) {
  struct Case {
    bool own;
    const char* typed;
    const char* first;
    const char* retry;  // nullptr: none
  } cases[] = {
      {true, "tasks.company.example:8443", "https://tasks.company.example:8443",
       "http://tasks.company.example:8443"},
      {true, "tasks.company.example", "https://tasks.company.example",
       "http://tasks.company.example"},
      {true, "https://tasks.company.example", "https://tasks.company.example", nullptr},
      {true, "localhost:5300", "http://localhost:5300", nullptr},
      {false, "", "https://app.vuko.example", nullptr},
  };
  for (const auto& c : cases) {
    auto retry = ServerChoice::plainRetry(*Url::parse(c.first), c.own, c.typed);
    if (c.retry) {
      ASSERT_TRUE(retry) << c.typed;
      EXPECT_EQ(retry->str(), c.retry) << c.typed;
    } else {
      EXPECT_FALSE(retry) << c.typed << " gave " << retry->str();
    }
  }
}

TEST_F(ServerChoiceTest, FailedHttpsProbeIsRetriedOverPlainHttp) {
  answers["http://tasks.company.example:8080"] = true;
  auto out = probeNow("tasks.company.example:8080");
  ASSERT_TRUE(out.accepted);
  EXPECT_EQ(out.accepted->str(), "http://tasks.company.example:8080");
  EXPECT_EQ(asked, (std::vector<std::string>{"https://tasks.company.example:8080",
                                             "http://tasks.company.example:8080"}));
}

TEST_F(ServerChoiceTest, WhenBothFailTheFirstMessageStands) {
  auto out = probeNow("tasks.company.example");
  EXPECT_FALSE(out.accepted);
  EXPECT_EQ(out.message, "failed https://tasks.company.example");
  EXPECT_EQ(asked.size(), 2u);
}

TEST_F(ServerChoiceTest, ProbesOnceWhenNoRetryApplies) {
  for (const char* typed : {"https://tasks.company.example", "localhost:5300"}) {
    asked.clear();
    auto out = probeNow(typed);
    EXPECT_FALSE(out.accepted) << typed;
    EXPECT_EQ(asked.size(), 1u) << typed;
  }
  asked.clear();
  EXPECT_FALSE(probeNow("", false).accepted);
  EXPECT_EQ(asked, std::vector<std::string>{"https://app.vuko.example"});
}

TEST_F(ServerChoiceTest, AnsweringHttpsServerIsTakenWithoutRetry) {
  answers["https://tasks.company.example"] = true;
  auto out = probeNow("tasks.company.example");
  ASSERT_TRUE(out.accepted);
  EXPECT_EQ(out.accepted->str(), "https://tasks.company.example");
  EXPECT_EQ(asked.size(), 1u);
}

TEST_F(ServerChoiceTest, AcceptStoresAndTellsWhetherTheServerChanged) {
  auto a = *Url::parse("http://localhost:5300");
  EXPECT_TRUE(ServerChoice::accept(a));
  EXPECT_EQ(Settings::server().str(), "http://localhost:5300");
  EXPECT_EQ(Settings::recent().front(), "http://localhost:5300");
  EXPECT_FALSE(ServerChoice::accept(a));
  EXPECT_TRUE(ServerChoice::accept(Settings::publicServer()));
  EXPECT_TRUE(Settings::isPublic());
}

TEST_F(ServerChoiceTest, FilledFromTheStoredSettings) {
  auto f = ServerChoice::filled();
  EXPECT_FALSE(f.own);
  EXPECT_TRUE(f.items.empty());
  EXPECT_EQ(f.field, "");

  Settings::setServer(*Url::parse("http://a.local"));
  Settings::setServer(*Url::parse("http://b.local"));
  f = ServerChoice::filled();
  EXPECT_TRUE(f.own);
  EXPECT_EQ(f.items, (std::vector<std::string>{"http://b.local", "http://a.local"}));
  EXPECT_EQ(f.field, "http://b.local");

  Settings::setServer(Settings::publicServer());
  f = ServerChoice::filled();
  EXPECT_FALSE(f.own);
  EXPECT_EQ(f.field, "http://b.local");  // the newest own server, ready to pick again
}

TEST_F(ServerChoiceTest, RecentListOfWrongShapeGivesNoItems) {
  store->setString("recentServers", "http://a.local");
  auto f = ServerChoice::filled();
  EXPECT_TRUE(f.items.empty());
  EXPECT_EQ(f.field, "");
}
