// The sealed copy on disk: it opens only with its key and for the address it
// was sealed to; anything else reads as none, and a bad copy goes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "platform/SealedFile.h"
#include "support/Wait.h"

using vuko::SealedFile;

TEST(SealedFile, OpensOnlyWithItsKeyForItsServer) {
  const std::string dir = vuko::test::tempDir("sealed");
  SealedFile file(dir + "/state/session", dir + "/data/session.key");
  EXPECT_EQ(file.open("http://a"), std::nullopt);
  ASSERT_TRUE(file.seal("tok-1", "http://a"));
  struct stat info {};
  ASSERT_EQ(stat(file.path().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  ASSERT_EQ(stat(file.keyPath().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(file.open("http://a"), "tok-1");
  {
    std::ifstream in(file.path());
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}).find("tok-1"), std::string::npos);
  }

  // Another server's address: none, and the copy is gone.
  EXPECT_EQ(file.open("http://b"), std::nullopt);
  EXPECT_FALSE(std::filesystem::exists(file.path()));

  ASSERT_TRUE(file.seal("tok-2", "http://a"));
  {
    // One bit of the copy flipped, whatever the byte was.
    std::fstream copy(file.path(), std::ios::in | std::ios::out | std::ios::binary);
    const char byte = static_cast<char>(copy.seekg(30).get());
    copy.seekp(30).put(static_cast<char>(byte ^ 1));
  }
  EXPECT_EQ(file.open("http://a"), std::nullopt);
  EXPECT_FALSE(std::filesystem::exists(file.path()));

  ASSERT_TRUE(file.seal("tok-3", "http://a"));
  std::filesystem::remove(file.keyPath());
  EXPECT_EQ(file.open("http://a"), std::nullopt);
  EXPECT_FALSE(std::filesystem::exists(file.path()));
}
