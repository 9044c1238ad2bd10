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
    Settings::useTestServer(std::nullopt);
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

namespace {

// A sheet whose probes wait until the test answers them.
class ServerSheetStateTest : public ServerChoiceTest {
 protected:
  void SetUp() override {
    ServerChoiceTest::SetUp();
    sheet = std::make_unique<ServerChoice::Sheet>(
        [this](Url u) -> Task<std::optional<std::string>> {  // lives with its owner
          asked.push_back(u.str());
          Future<std::optional<std::string>> answer;
          held.push_back(answer.resolver());
          co_return co_await answer;
        });
    sheet->onChange = [this] { ++changes; };
    sheet->onClose = [this] { ++closed; };
  }
  void present() {
    sheet->present([this](bool changed) { done.push_back(changed); });
  }
  void answer(std::size_t i, std::optional<std::string> message) {
    ASSERT_LT(i, held.size());
    held[i](std::move(message));
  }

  std::unique_ptr<ServerChoice::Sheet> sheet;
  std::vector<Future<std::optional<std::string>>::Resolver> held;
  std::vector<bool> done;
  int changes = 0, closed = 0;
};

}  // namespace

TEST_F(ServerSheetStateTest, PresentationStartsReadyAndFilled) {
  Settings::setServer(*Url::parse("http://nas.local:8080"));
  sheet->present(nullptr);
  auto f = sheet->present(nullptr);
  EXPECT_TRUE(f.own);
  EXPECT_EQ(f.field, "http://nas.local:8080");
  EXPECT_FALSE(sheet->busy());
  EXPECT_EQ(sheet->status().text, "");
  EXPECT_EQ(changes, 2);
}

TEST_F(ServerSheetStateTest, UnusableAddressIsRefusedWithoutAProbe) {
  present();
  for (const char* typed : {"   ", "ftp://files.company.example", "HTTPS://x.example"}) {
    sheet->connect(true, typed);
    EXPECT_EQ(sheet->status().text, "Введите адрес сервера, например tasks.company.example")
        << typed;
    EXPECT_TRUE(sheet->status().error) << typed;
    EXPECT_FALSE(sheet->busy()) << typed;
  }
  EXPECT_TRUE(asked.empty());
  EXPECT_EQ(closed, 0);
  // Switching the mode clears the line.
  sheet->modeChanged();
  EXPECT_EQ(sheet->status().text, "");
  EXPECT_FALSE(sheet->status().error);
}

TEST_F(ServerSheetStateTest, OneProbeAtATimeAndTheAnsweringServerIsStored) {
  present();
  sheet->connect(true, "tasks.company.example");
  EXPECT_TRUE(sheet->busy());
  EXPECT_EQ(sheet->status().text, "Проверяем сервер…");
  EXPECT_FALSE(sheet->status().error);
  sheet->connect(true, "other.company.example");  // Return while busy
  sheet->connect(false, "");
  EXPECT_EQ(asked, std::vector<std::string>{"https://tasks.company.example"});

  answer(0, std::nullopt);
  EXPECT_FALSE(sheet->busy());
  EXPECT_EQ(closed, 1);
  EXPECT_EQ(done, std::vector<bool>{true});
  EXPECT_EQ(Settings::server().str(), "https://tasks.company.example");
}

TEST_F(ServerSheetStateTest, FailureShowsTheFirstProbesMessageAndMakesTheSheetReady) {
  present();
  sheet->connect(true, "tasks.company.example");
  answer(0, "no https");
  // Typed without a scheme: the plain address is tried next.
  EXPECT_TRUE(sheet->busy());
  answer(1, "no http");
  EXPECT_FALSE(sheet->busy());
  EXPECT_EQ(sheet->status().text, "no https");
  EXPECT_TRUE(sheet->status().error);
  EXPECT_EQ(closed, 0);
  EXPECT_TRUE(done.empty());
  EXPECT_TRUE(Settings::isPublic());

  // Ready for another press.
  sheet->connect(false, "");
  EXPECT_EQ(asked.back(), "https://app.vuko.example");
}

TEST_F(ServerSheetStateTest, ChoosingTheCurrentServerAgainReportsNoChange) {
  Settings::setServer(*Url::parse("http://localhost:5300"));
  present();
  sheet->connect(true, "http://localhost:5300");
  answer(0, std::nullopt);
  EXPECT_EQ(done, std::vector<bool>{false});
  EXPECT_EQ(closed, 1);
}

TEST_F(ServerSheetStateTest, CancelledSheetStillStoresAServerThatAnswersLater) {
  present();
  sheet->connect(true, "http://localhost:5300");
  sheet->cancel();
  EXPECT_TRUE(done.empty());
  answer(0, std::nullopt);
  EXPECT_EQ(done, std::vector<bool>{true});
  EXPECT_EQ(Settings::server().str(), "http://localhost:5300");
  EXPECT_EQ(closed, 0) << "a cancelled sheet stays closed";
}

TEST_F(ServerSheetStateTest, LateAnswersOfAnEarlierRoundLeaveTheNewPresentationAlone) {
  present();
  sheet->connect(true, "http://localhost:5300");
  sheet->cancel();
  present();
  EXPECT_FALSE(sheet->busy());
  sheet->connect(true, "http://localhost:5400");
  EXPECT_TRUE(sheet->busy());

  answer(0, "late failure");
  EXPECT_TRUE(sheet->busy()) << "the new round's probe still runs";
  EXPECT_EQ(sheet->status().text, "Проверяем сервер…");
  EXPECT_FALSE(sheet->status().error);

  answer(1, "refused");
  EXPECT_FALSE(sheet->busy());
  EXPECT_EQ(sheet->status().text, "refused");
  EXPECT_TRUE(done.empty());
}

TEST_F(ServerSheetStateTest, AnswerAfterTheSheetWentIsDropped) {
  present();
  sheet->connect(true, "http://localhost:5300");
  sheet.reset();
  answer(0, std::nullopt);
  EXPECT_TRUE(done.empty());
  EXPECT_TRUE(Settings::isPublic());
}
