#include <gtest/gtest.h>

#include <memory>

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
  // Own or public, the text typed, which probe answers (-1: none), the probes.
  const std::tuple<bool, const char*, int, Strings> cases[] = {
      {true, "t.example:8080", 1, {"https://t.example:8080", "http://t.example:8080"}},
      {true, "t.example", -1, {"https://t.example", "http://t.example"}},
      {true, "t.example", 0, {"https://t.example"}},
      {true, "https://t.example", -1, {"https://t.example"}},
      {true, "localhost:5300", -1, {"http://localhost:5300"}},
      {false, "ftp://x", -1, {"https://app.vuko.example"}},  // the typed text does not matter
  };
  for (const auto& [own, typed, answering, probes] : cases) {
    asked.clear();
    // The probe ends before the loop body does, so the captures stay valid.
    auto check = [&](Url u) -> Task<std::optional<std::string>> {  // lives with its owner
      asked.push_back(u.str());
      if (int(asked.size()) - 1 == answering) co_return std::nullopt;
      co_return "failed " + u.str();
    };
    auto task = ServerChoice::probe(*ServerChoice::firstAddress(own, typed), own, typed, check);
    ASSERT_TRUE(task.done());
    EXPECT_EQ(asked, probes) << typed;
    auto out = task.result();
    EXPECT_EQ(out.accepted ? out.accepted->str() : out.message,
              answering < 0 ? "failed " + probes[0] : probes[answering])
        << typed;
  }
  EXPECT_FALSE(ServerChoice::firstAddress(true, "ftp://files.company.example"));
}

TEST_F(ServerChoiceTest, FilledFromTheStoredSettings) {
  Settings::setServer(*Url::parse("http://a.local"));
  Settings::setServer(*Url::parse("http://b.local"));
  auto f = ServerChoice::filled();
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

TEST_F(ServerSheetStateTest, UnusableAddressIsRefusedWithoutAProbeUntilTheModeOrSheetChanges) {
  Settings::setServer(*Url::parse("http://nas.local:8080"));
  for (bool present : {false, true}) {
    sheet->connect(true, "ftp://files.company.example");
    EXPECT_EQ(status(), Status(ServerChoice::badAddress(), true));
    EXPECT_FALSE(sheet->busy());
    if (present) {
      EXPECT_EQ(sheet->present(nullptr).field, "http://nas.local:8080");
    } else {
      sheet->modeChanged();
    }
    EXPECT_EQ(status(), Status("", false));
  }
  EXPECT_TRUE(asked.empty());
  EXPECT_EQ(changes, 5);
}

// A failure shows the first probe's message and leaves the sheet ready; the
// server that answers is stored, and done tells whether that changed it.
TEST_F(ServerSheetStateTest, OneProbeAtATimeAndTheAnsweringServerIsStored) {
  sheet->connect(true, "t.example");
  EXPECT_EQ(status(), Status(ServerChoice::kProbing, false));
  sheet->connect(false, "");  // Return while busy
  held[0]("no https");
  EXPECT_TRUE(sheet->busy()) << "the plain address is tried next";
  held[1]("no http");
  EXPECT_FALSE(sheet->busy());
  EXPECT_EQ(status(), Status("no https", true));
  EXPECT_TRUE(closed == 0 && done.empty() && Settings::isPublic());

  sheet->connect(true, "t.example");
  EXPECT_EQ(asked, (Strings{"https://t.example", "http://t.example", "https://t.example"}));
  held[2](std::nullopt);
  EXPECT_FALSE(sheet->busy());
  EXPECT_EQ(closed, 1);
  EXPECT_EQ(done, std::vector<bool>{true});
  EXPECT_EQ(Settings::server().str(), "https://t.example");

  present();
  sheet->connect(true, "https://t.example");
  held[3](std::nullopt);
  EXPECT_EQ(done, (std::vector<bool>{true, false})) << "the same server again is no change";
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
}

TEST_F(ServerSheetStateTest, AnswerAfterTheSheetWentIsDropped) {
  sheet->connect(true, "http://localhost:5300");
  sheet.reset();
  held[0](std::nullopt);
  EXPECT_TRUE(done.empty());
  EXPECT_TRUE(Settings::isPublic());
}
