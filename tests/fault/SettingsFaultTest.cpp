// The settings file under SIGKILL of its writer and under a full disk.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "Fault.h"
#include "platform/Defaults.h"

namespace vuko::fault {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

// One write is one value whose parts must agree: a half-written state would
// show as a file that does not parse or a payload of another counter.
Json stateFor(long counter) {
  return {{"counter", counter},
          {"payload", std::string(32 * 1024, static_cast<char>('a' + counter % 26))}};
}

std::string slurp(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

bool consistent(const Json& state) {
  if (!state.is_object() || !state["counter"].is_number_integer() || !state["payload"].is_string())
    return false;
  return state["payload"] == stateFor(state["counter"].get<long>())["payload"];
}

// Writes states in a loop from `start`, reporting each counter whose save
// completed on `ack`, until killed.
[[noreturn]] void writeForever(const fs::path& file, long start, int ack) {
  FileDefaults d(file);
  for (long counter = start;; ++counter) {
    d.setDictionary("state", stateFor(counter));
    d.setBool("dockBadge", counter % 2 == 0);
    if (d.saved() && write(ack, &counter, sizeof counter) != sizeof counter) _exit(3);
  }
}

TEST(Fault, KilledSettingsWriterAlwaysLeavesALoadableFile) {
  TempDir dir;
  const fs::path file = dir.path / "vuko" / "defaults.json";
  const int kills = killCount(10);
  long acknowledged = -1, writes = 0;
  int midWrite = 0;
  for (int round = 0; round < kills; ++round) {
    int ack[2];
    ASSERT_EQ(pipe(ack), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(ack[0]);
      writeForever(file, acknowledged + 1, ack[1]);
    }
    close(ack[1]);
    // Wait for the first completed save, then let it run a random while so
    // the kill lands anywhere in a write.
    long counter = -1;
    ASSERT_EQ(read(ack[0], &counter, sizeof counter), ssize_t(sizeof counter));
    std::this_thread::sleep_for(std::chrono::microseconds(randomBetween(0, 50000)));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    for (long c; read(ack[0], &c, sizeof c) == sizeof c;) counter = c;
    close(ack[0]);
    writes += counter - acknowledged;
    // A temp file left behind means the kill landed inside a save.
    midWrite += fs::exists(file.string() + ".tmp");
    acknowledged = counter;

    FileDefaults loaded(file);
    ASSERT_FALSE(loaded.setAside()) << "the file always parses; kill " << round + 1;
    auto state = loaded.dictionary("state");
    ASSERT_TRUE(state && consistent(*state)) << "never a half-written state; kill " << round + 1;
    // Every save reported done is on disk; one more may have landed.
    long onDisk = (*state)["counter"].get<long>();
    EXPECT_GE(onDisk, acknowledged) << "a completed save survives the kill";
    EXPECT_LE(onDisk, acknowledged + 1);
    acknowledged = std::max(acknowledged, onDisk);
  }
  std::printf("settings writer: %d kills (%d inside a save), %ld saves, none lost\n", kills,
              midWrite, writes);
  EXPECT_GT(writes, kills) << "the writer got to write between the kills";
}

// A file size limit stands for a full disk: a write past it fails (EFBIG)
// after writing what fits, as one on a full disk does (ENOSPC).
TEST(Fault, AFullDiskKeepsTheOldSettingsFileAndTheWriterRunning) {
  TempDir dir;
  const fs::path file = dir.path / "defaults.json";
  FileDefaults d(file);
  d.setDictionary("state", stateFor(1));
  ASSERT_TRUE(d.saved());
  const std::string before = slurp(file);

  rlimit normal{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &normal), 0);
  rlimit full = normal;
  full.rlim_cur = before.size() / 2;
  auto previous = ::signal(SIGXFSZ, SIG_IGN);  // the failed write is the answer, not a signal
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &full), 0);
  int failed = 0;
  for (long counter = 2; counter < 12; ++counter) {
    d.setDictionary("state", stateFor(counter));
    failed += !d.saved();
  }
  setrlimit(RLIMIT_FSIZE, &normal);
  ::signal(SIGXFSZ, previous);

  EXPECT_EQ(failed, 10) << "no save fits on a full disk";
  EXPECT_EQ(d.dictionary("state").value()["counter"], 11) << "the writer keeps its values";
  EXPECT_EQ(slurp(file), before) << "the old file stays intact";
  EXPECT_FALSE(fs::exists(file.string() + ".tmp")) << "no partial file is left behind";
  d.setBool("dockBadge", true);
  EXPECT_TRUE(d.saved()) << "with room again the next change is saved";
  EXPECT_EQ(FileDefaults(file).dictionary("state").value()["counter"], 11);
}

}  // namespace
}  // namespace vuko::fault
