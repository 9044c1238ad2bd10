#include <gtest/gtest.h>

#include "support/SettingsScope.h"

using namespace vuko;

namespace {

class SettingsTest : public testing::Test {
 protected:
  test::SettingsScope settings;
  std::shared_ptr<MemoryDefaults>& store = settings.store;
};

Url url(const std::string& s) {
  return *Url::parse(s);
}

}  // namespace

// The address is kept in the form the web engine reports pages in (host in
// lower case, no default port), and only a real host name or IP address makes
// one; white space pasted along with it is not part of it.
TEST_F(SettingsTest, NormalizeTurnsTypedTextIntoTheEngineFormOfARealHost) {
  const std::pair<const char*, const char*> cases[] = {
      {"localhost:5300", "http://localhost:5300"},
      {"  tasks.company.example//  \n", "https://tasks.company.example"},
      {"192.168.1.20:8080/app/today?x=1", "http://192.168.1.20:8080"},
      {"nas.local", "http://nas.local"},
      {"https://user:pw@nas.local:8443/x#y", "https://nas.local:8443"},
      {"http://", "https://http"},  // the slashes go first, leaving a bare word
      {"https://Tasks.Company.Example:443/today", "https://tasks.company.example"},
      {"http://LocalHost:80", "http://localhost"},
      {"https://tasks.company.example:80", "https://tasks.company.example:80"},
      {"http://[::1]:5300", "http://[::1]:5300"},
      {"задачи.пример.рф", "https://xn--80aalki3g.xn--e1afmkfd.xn--p1ai"},
      {"\u2003\u3000tasks.company.example/\u202f\r\n", "https://tasks.company.example"},
      {"ftp://files.company.example", nullptr},
      {"HTTPS://tasks.company.example", nullptr},
      {"   ", nullptr},
      {"http://a<b>.example", nullptr},
      {"https://tasks..example", nullptr},
  };
  for (const auto& [typed, expected] : cases) {
    auto got = Settings::normalize(typed);
    EXPECT_EQ(got ? got->str() : "(none)", expected ? expected : "(none)") << typed;
  }
}

// Values of the wrong form are read as the defaults and left in place.
TEST_F(SettingsTest, DefaultsForMissingOrUnreadableStoredValues) {
  EXPECT_TRUE(Settings::isPublic());
  store->setString("server", "not a url");
  store->setString("dockBadge", "no");
  EXPECT_EQ(Settings::server(), Settings::publicServer());
  EXPECT_EQ(store->string("server"), "not a url");
  EXPECT_TRUE(Settings::dockBadge());
  Settings::setDockBadge(false);
  EXPECT_FALSE(Settings::dockBadge());
}

TEST_F(SettingsTest, RecentIsNewestFirstWithoutDuplicatesCappedAtEight) {
  for (int i = 1; i <= 9; ++i)
    Settings::setServer(url("https://s" + std::to_string(i) + ".example"));
  Settings::setServer(url("https://s5.example"));
  const std::vector<std::string> list = Settings::recent();
  EXPECT_EQ(list, (std::vector<std::string>{"https://s5.example", "https://s9.example",
                                            "https://s8.example", "https://s7.example",
                                            "https://s6.example", "https://s4.example",
                                            "https://s3.example", "https://s2.example"}));
  EXPECT_EQ(Settings::server().str(), "https://s5.example");
  EXPECT_FALSE(Settings::isPublic());

  Settings::setServer(Settings::publicServer());
  EXPECT_TRUE(Settings::isPublic());
  EXPECT_EQ(Settings::recent(), list);  // the public server never enters the list
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
