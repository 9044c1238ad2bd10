#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "server/ServerChoice.h"
#include "support/SettingsScope.h"

using namespace vuko;
using Strings = std::vector<std::string>;
using Status = std::pair<std::string, bool>;

namespace {

class ServerChoiceTest : public testing::Test {
 protected:
  test::SettingsScope settings;
  Strings asked;
};

}  // namespace

// A failed https probe of an own server typed without a scheme is tried again
// over plain HTTP; the first probe's message stands when both fail.
TEST_F(ServerChoiceTest, ProbeTriesPlainHttpOnlyForAnOwnServerTypedWithoutScheme) {
  struct Case {
    bool own;
    const char* typed;
    std::set<std::string> answering;
    Strings asked;
    const char* accepted;  // nullptr: none, with the first probe's message
  };
  const Case cases[] = {
      {true,
       "tasks.company.example:8080",
       {"http://tasks.company.example:8080"},
       {"https://tasks.company.example:8080", "http://tasks.company.example:8080"},
       "http://tasks.company.example:8080"},
      {true,
       "tasks.company.example",
       {},
       {"https://tasks.company.example", "http://tasks.company.example"},
       nullptr},
      {true,
       "tasks.company.example",
       {"https://tasks.company.example"},
       {"https://tasks.company.example"},
       "https://tasks.company.example"},
      {true, "https://tasks.company.example", {}, {"https://tasks.company.example"}, nullptr},
      {true, "localhost:5300", {}, {"http://localhost:5300"}, nullptr},
      // The typed text does not matter for the public server.
      {false, "ftp://x", {}, {"https://app.vuko.example"}, nullptr},
  };
  for (const auto& c : cases) {
    asked.clear();
    auto check = [&](Url u) -> Task<std::optional<std::string>> {  // awaited below
      asked.push_back(u.str());
      if (c.answering.contains(u.str())) co_return std::nullopt;
      co_return "failed " + u.str();
    };
    auto task =
        ServerChoice::probe(*ServerChoice::firstAddress(c.own, c.typed), c.own, c.typed, check);
    ASSERT_TRUE(task.done());
    auto out = task.result();
    EXPECT_EQ(asked, c.asked) << c.typed;
    EXPECT_EQ(out.accepted ? out.accepted->str() : "", c.accepted ? c.accepted : "") << c.typed;
    EXPECT_EQ(out.message, c.accepted ? "" : "failed " + c.asked[0]) << c.typed;
  }
  EXPECT_FALSE(ServerChoice::firstAddress(true, "ftp://files.company.example"));
}

TEST_F(ServerChoiceTest, AcceptStoresAndTellsWhetherTheServerChanged) {
  auto a = *Url::parse("http://localhost:5300");
  EXPECT_TRUE(ServerChoice::accept(a));
  EXPECT_EQ(Settings::server(), a);
  EXPECT_FALSE(ServerChoice::accept(a));
  EXPECT_TRUE(ServerChoice::accept(Settings::publicServer()));
}

TEST_F(ServerChoiceTest, FilledFromTheStoredSettings) {
  settings.store->setString("recentServers", "http://a.local");  // of the wrong shape
  auto f = ServerChoice::filled();
  EXPECT_FALSE(f.own);
  EXPECT_TRUE(f.items.empty());
  EXPECT_EQ(f.field, "");

  Settings::setServer(*Url::parse("http://a.local"));
  Settings::setServer(*Url::parse("http://b.local"));
  f = ServerChoice::filled();
  EXPECT_TRUE(f.own);
  EXPECT_EQ(f.items, (Strings{"http://b.local", "http://a.local"}));
  EXPECT_EQ(f.field, "http://b.local");

  Settings::setServer(Settings::publicServer());
  f = ServerChoice::filled();
  EXPECT_FALSE(f.own);
  EXPECT_EQ(f.field, "http://b.local");  // the newest own server, ready to pick again
}

namespace {

// A sheet whose probes wait until the test answers them.
class ServerSheetStateTest : public ServerChoiceTest {
 protected:
  void SetUp() override {
    sheet = std::make_unique<ServerChoice::Sheet>(
        [this](Url u) -> Task<std::optional<std::string>> {  // lives with its owner
          asked.push_back(u.str());
          Future<std::optional<std::string>> answer;
          held.push_back(answer.resolver());
          co_return co_await answer;
        });
    sheet->onChange = [this] { ++changes; };
    sheet->onClose = [this] { ++closed; };
    present();
  }
  void present() {
    sheet->present([this](bool changed) { done.push_back(changed); });
  }
  Status status() const { return {sheet->status().text, sheet->status().error}; }

  std::unique_ptr<ServerChoice::Sheet> sheet;
  std::vector<Future<std::optional<std::string>>::Resolver> held;
  std::vector<bool> done;
  int changes = 0, closed = 0;
};

}  // namespace

TEST_F(ServerSheetStateTest, PresentationStartsReadyAndFilled) {
  Settings::setServer(*Url::parse("http://nas.local:8080"));
  sheet->connect(true, "   ");
  auto f = sheet->present(nullptr);
  EXPECT_EQ(f.field, "http://nas.local:8080");
  EXPECT_FALSE(sheet->busy());
  EXPECT_EQ(status(), Status("", false));
  EXPECT_EQ(changes, 3);
}

TEST_F(ServerSheetStateTest, UnusableAddressIsRefusedWithoutAProbeUntilTheModeChanges) {
  sheet->connect(true, "ftp://files.company.example");
  EXPECT_EQ(status(), Status(ServerChoice::badAddress(), true));
  EXPECT_FALSE(sheet->busy());
  EXPECT_TRUE(asked.empty());
  sheet->modeChanged();
  EXPECT_EQ(status(), Status("", false));
}

TEST_F(ServerSheetStateTest, OneProbeAtATimeAndTheAnsweringServerIsStored) {
  sheet->connect(true, "tasks.company.example");
  EXPECT_TRUE(sheet->busy());
  EXPECT_EQ(status(), Status(ServerChoice::kProbing, false));
  sheet->connect(false, "");  // Return while busy
  EXPECT_EQ(asked, Strings{"https://tasks.company.example"});

  held[0](std::nullopt);
  EXPECT_FALSE(sheet->busy());
  EXPECT_EQ(closed, 1);
  EXPECT_EQ(done, std::vector<bool>{true});
  EXPECT_EQ(Settings::server().str(), "https://tasks.company.example");

  present();
  sheet->connect(true, "https://tasks.company.example");
  held[1](std::nullopt);
  EXPECT_EQ(done, (std::vector<bool>{true, false})) << "the same server again is no change";
}

TEST_F(ServerSheetStateTest, FailureShowsTheFirstProbesMessageAndMakesTheSheetReady) {
  sheet->connect(true, "tasks.company.example");
  held[0]("no https");
  EXPECT_TRUE(sheet->busy()) << "the plain address is tried next";
  held[1]("no http");
  EXPECT_FALSE(sheet->busy());
  EXPECT_EQ(status(), Status("no https", true));
  EXPECT_EQ(closed, 0);
  EXPECT_TRUE(done.empty());
  EXPECT_TRUE(Settings::isPublic());
  sheet->connect(false, "");
  EXPECT_EQ(asked.size(), 3u) << "ready for another press";
}

// A probe started in an earlier round still stores a server that answered,
// but no longer speaks for the sheet.
TEST_F(ServerSheetStateTest, AnswersOfAnEarlierRound) {
  sheet->connect(true, "http://localhost:5300");
  sheet->cancel();
  present();
  sheet->connect(true, "http://localhost:5400");
  held[0](std::nullopt);
  EXPECT_EQ(done, std::vector<bool>{true});
  EXPECT_EQ(Settings::server().str(), "http://localhost:5300");
  EXPECT_EQ(closed, 0) << "a cancelled round stays closed";
  EXPECT_TRUE(sheet->busy()) << "the new round's probe still runs";
  EXPECT_EQ(status(), Status(ServerChoice::kProbing, false));

  sheet->cancel();
  held[1]("refused");
  EXPECT_EQ(status(), Status(ServerChoice::kProbing, false));
}

TEST_F(ServerSheetStateTest, AnswerAfterTheSheetWentIsDropped) {
  sheet->connect(true, "http://localhost:5300");
  sheet.reset();
  held[0](std::nullopt);
  EXPECT_TRUE(done.empty());
  EXPECT_TRUE(Settings::isPublic());
}
