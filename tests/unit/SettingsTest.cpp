#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/Defaults.h"
#include "server/Settings.h"

using namespace vuko;

namespace {

class SettingsTest : public testing::Test {
 protected:
  void SetUp() override {
    store = std::make_shared<MemoryDefaults>();
    Defaults::setStandard(store);
    Settings::useTestServer(std::nullopt);
    Settings::resetTestOverride();
  }
  void TearDown() override { Settings::useTestServer(std::nullopt); }
  std::shared_ptr<MemoryDefaults> store;
};

Url url(const char* s) {
  return *Url::parse(s);
}

}  // namespace

TEST_F(SettingsTest, NormalizeTurnsTypedTextIntoServerAddress) {
  struct Case {
    const char* typed;
    const char* expected;  // nullptr: no address
  } cases[] = {
      {"localhost:5300", "http://localhost:5300"},
      {"tasks.company.example/", "https://tasks.company.example"},
      {"  tasks.company.example//  \n", "https://tasks.company.example"},
      {"192.168.1.20:8080/app/today?x=1", "http://192.168.1.20:8080"},
      {"10.0.0.5", "http://10.0.0.5"},
      {"127.0.0.1:5300", "http://127.0.0.1:5300"},
      {"nas.local", "http://nas.local"},
      {"nas.local:8443", "http://nas.local:8443"},
      {"https://nas.local", "https://nas.local"},
      {"https://user:pw@tasks.company.example:8443/x#y", "https://tasks.company.example:8443"},
      {"ftp://files.company.example", nullptr},
      {"   ", nullptr},
      {"", nullptr},
      {"///", nullptr},
      {"HTTPS://tasks.company.example", nullptr},
      {"http://", "https://http"},  // the slashes go first, leaving a bare word
  };
  for (const auto& c : cases) {
    auto got = Settings::normalize(c.typed);
    if (c.expected) {
      ASSERT_TRUE(got) << c.typed;
      EXPECT_EQ(got->str(), c.expected) << c.typed;
    } else {
      EXPECT_FALSE(got) << c.typed << " gave " << got->str();
    }
  }
}

// The address is kept in the form the web engine reports pages in (host in
// lower case, no default port), and only a real host name or IP address makes
// one; white space pasted along with it is not part of it.
TEST_F(SettingsTest, NormalizeGivesTheEngineFormOfARealHost) {
  struct Case {
    const char* typed;
    const char* expected;  // nullptr: no address
  } cases[] = {
      {"Tasks.Company.Example", "https://tasks.company.example"},
      {"https://Tasks.Company.Example:443/today", "https://tasks.company.example"},
      {"http://Tasks.Company.Example:80", "http://tasks.company.example"},
      {"localhost:80", "http://localhost"},
      {"http://LocalHost:80", "http://localhost"},
      {"https://tasks.company.example:80", "https://tasks.company.example:80"},
      {"http://tasks.company.example:443", "http://tasks.company.example:443"},
      {"http://[::1]:5300", "http://[::1]:5300"},
      {"задачи.пример.рф", "https://xn--80aalki3g.xn--e1afmkfd.xn--p1ai"},
      {"\u00a0tasks.company.example\u00a0", "https://tasks.company.example"},
      {"\u2003\u3000tasks.company.example/\u202f\r\n", "https://tasks.company.example"},
      {"\ufefftasks.company.example", "https://tasks.company.example"},
      {"http://a<b>.example", nullptr},
      {"http://a b.example", nullptr},
      {"http://a%20b.example", nullptr},
      {"https://tasks..example", nullptr},
      {"https://-tasks.example", nullptr},
      {"\u00a0", nullptr},
  };
  for (const auto& c : cases) {
    auto got = Settings::normalize(c.typed);
    if (c.expected) {
      ASSERT_TRUE(got) << c.typed;
      EXPECT_EQ(got->str(), c.expected) << c.typed;
    } else {
      EXPECT_FALSE(got) << c.typed << " gave " << got->str();
    }
  }
}

TEST_F(SettingsTest, ServerDefaultsToPublicAndIgnoresUnparsableStoredValue) {
  EXPECT_EQ(Settings::server(), Settings::publicServer());
  EXPECT_TRUE(Settings::isPublic());
  store->setString("server", "not a url");
  EXPECT_EQ(Settings::server(), Settings::publicServer());
  EXPECT_EQ(store->string("server"), "not a url");  // left in place
  store->setNumber("server", 5);
  EXPECT_EQ(Settings::server(), Settings::publicServer());
}

TEST_F(SettingsTest, RecentIsNewestFirstWithoutDuplicatesCappedAtEight) {
  for (int i = 1; i <= 9; ++i)
    Settings::setServer(url(("https://s" + std::to_string(i) + ".example").c_str()));
  auto list = Settings::recent();
  ASSERT_EQ(list.size(), 8u);
  EXPECT_EQ(list.front(), "https://s9.example");
  EXPECT_EQ(list.back(), "https://s2.example");  // the oldest was pushed out

  Settings::setServer(url("https://s5.example"));
  list = Settings::recent();
  ASSERT_EQ(list.size(), 8u);
  EXPECT_EQ(list[0], "https://s5.example");
  EXPECT_EQ(std::count(list.begin(), list.end(), "https://s5.example"), 1);
  EXPECT_EQ(Settings::server().str(), "https://s5.example");
  EXPECT_FALSE(Settings::isPublic());

  Settings::setServer(Settings::publicServer());
  EXPECT_EQ(store->string("server"), Settings::publicServer().str());
  EXPECT_EQ(Settings::recent(), list);  // the public server never enters the list
  EXPECT_TRUE(Settings::isPublic());
}

TEST_F(SettingsTest, TestServerOverridesWithoutTouchingStoredKey) {
  store->setString("server", "https://stored.example");
  Settings::useTestServer(url("http://127.0.0.1:5999"));
  EXPECT_EQ(Settings::server().str(), "http://127.0.0.1:5999");
  Settings::setServer(url("http://127.0.0.1:6000"));
  EXPECT_EQ(Settings::server().str(), "http://127.0.0.1:6000");
  EXPECT_EQ(store->string("server"), "https://stored.example");
  EXPECT_TRUE(Settings::recent().empty());
  // A new process starts from the test server again.
  Settings::resetTestOverride();
  EXPECT_EQ(Settings::server().str(), "http://127.0.0.1:5999");
  Settings::useTestServer(std::nullopt);
  EXPECT_EQ(Settings::server().str(), "https://stored.example");
}

TEST_F(SettingsTest, DockBadgeIsOnUnlessStoredFalse) {
  EXPECT_TRUE(Settings::dockBadge());
  store->setString("dockBadge", "no");
  EXPECT_TRUE(Settings::dockBadge());
  Settings::setDockBadge(false);
  EXPECT_FALSE(Settings::dockBadge());
}

TEST_F(SettingsTest, UrlResolvesPathsOnTheServerInUse) {
  Settings::setServer(url("http://127.0.0.1:5300"));
  EXPECT_EQ(Settings::url("/today").str(), "http://127.0.0.1:5300/today");
  EXPECT_EQ(Settings::url("/settings/advanced#hotkeys").str(),
            "http://127.0.0.1:5300/settings/advanced#hotkeys");
  EXPECT_EQ(Settings::url("/today?task=12").str(), "http://127.0.0.1:5300/today?task=12");
}
