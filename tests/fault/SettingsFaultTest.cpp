// The settings file under SIGKILL of its writer and under a full disk.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
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
  int setAside = 0, inconsistent = 0, lost = 0, midWrite = 0;
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
    if (loaded.setAside()) {
      ++setAside;
      break;
    }
    auto state = loaded.dictionary("state");
    if (!state || !consistent(*state)) {
      ++inconsistent;
      break;
    }
    // Every save reported done is on disk; one more may have landed.
    long onDisk = (*state)["counter"].get<long>();
    if (onDisk < acknowledged) ++lost;
    EXPECT_LE(onDisk, acknowledged + 1);
    acknowledged = std::max(acknowledged, onDisk);
  }
  std::printf(
      "settings writer: %d kills (%d inside a save), %ld saves, %d set aside, %d inconsistent, "
      "%d lost\n",
      kills, midWrite, writes, setAside, inconsistent, lost);
  EXPECT_EQ(setAside, 0) << "the file always parses";
  EXPECT_EQ(inconsistent, 0) << "never a half-written state";
  EXPECT_EQ(lost, 0) << "a completed save survives the kill";
  EXPECT_GT(writes, kills) << "the writer got to write between the kills";
}

// A tmpfs of 256 KiB stands for a full disk; mounting needs root.
struct SmallDisk {
  TempDir dir;
  bool mounted = false;
  SmallDisk() {
    mounted = mount("vuko-full", dir.path.c_str(), "tmpfs", MS_NOSUID | MS_NODEV,
                    "size=256k,mode=0700") == 0;
  }
  ~SmallDisk() {
    if (mounted) umount2(dir.path.c_str(), MNT_DETACH);
  }
};

TEST(Fault, AFullDiskKeepsTheOldSettingsFileAndTheWriterRunning) {
  SmallDisk disk;
  if (!disk.mounted)
    GTEST_SKIP() << "needs root to mount a small tmpfs (mount: " << std::strerror(errno) << ")";
  const fs::path file = disk.dir.path / "defaults.json";
  FileDefaults d(file);
  d.setString("server", "https://tasks.company.example");
  d.setDictionary("state", stateFor(1));
  ASSERT_TRUE(d.saved());
  std::ifstream in(file, std::ios::binary);
  std::string before((std::istreambuf_iterator<char>(in)), {});

  // Fill the rest of the disk.
  {
    std::ofstream fill(disk.dir.path / "filler", std::ios::binary);
    std::string block(4096, 'x');
    while (fill.write(block.data(), block.size()) && fill.flush()) {
    }
  }
  int failed = 0;
  for (long counter = 2; counter < 12; ++counter) {
    d.setDictionary("state", stateFor(counter));
    failed += !d.saved();
  }
  EXPECT_EQ(failed, 10) << "no save fits on a full disk";
  EXPECT_EQ(d.dictionary("state").value()["counter"], 11) << "the writer keeps its values";
  std::ifstream again(file, std::ios::binary);
  std::string after((std::istreambuf_iterator<char>(again)), {});
  EXPECT_EQ(after, before) << "the old file stays intact";
  EXPECT_FALSE(fs::exists(file.string() + ".tmp")) << "no partial file is left behind";
  EXPECT_FALSE(FileDefaults(file).setAside());

  fs::remove(disk.dir.path / "filler");
  d.setBool("dockBadge", true);
  EXPECT_TRUE(d.saved()) << "with room again the next change is saved";
  FileDefaults reloaded(file);
  EXPECT_EQ(reloaded.dictionary("state").value()["counter"], 11);
  std::printf("full disk: %d of 10 saves refused, old file intact, next save after freeing: %s\n",
              failed, d.saved() ? "ok" : "failed");
}

}  // namespace
}  // namespace vuko::fault
