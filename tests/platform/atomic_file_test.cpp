#include "tessary/platform/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <thread>

#include "support/temporary_folder.h"
#include "support/test_seed.h"

namespace tessary::platform {
namespace {

namespace fs = std::filesystem;

class AtomicFileTest : public testing::TemporaryFolderTest {
 protected:
  fs::path file() const { return folder_ / "effect.json"; }
  long entries() const { return std::distance(fs::directory_iterator(folder_), {}); }
};

// The file keeps its permissions, a link keeps pointing at it, and no temporary file is left.
TEST_F(AtomicFileTest, ReplacesWholeFilesKeepingModeAndLinks) {
  writeFileAtomically(file(), "first");
  fs::permissions(file(), fs::perms::owner_read | fs::perms::owner_write);
  for (const std::string contents : {"second, longer \xf0\x9f\x94\xa5", ""}) {
    writeFileAtomically(file(), contents);
    EXPECT_EQ(readWholeFile(file()), contents);
  }
  EXPECT_EQ(fs::status(file()).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  const fs::path link = folder_ / "link.json";
  fs::create_symlink(file(), link);
  writeFileAtomically(link, "through the link");
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(readWholeFile(file()), "through the link");
  EXPECT_EQ(entries(), 2);
}

TEST_F(AtomicFileTest, FailuresKeepTheOldFileAndNameThePath) {
  writeFileAtomically(file(), "old");
  const std::pair<std::function<void()>, std::string> cases[] = {
      {[&] { writeFileAtomically(folder_ / "missing" / "effect.json", "new"); }, ""},
      {[&] { writeFileAtomically(folder_, "new"); }, ""},
      {[] { writeFileAtomically("/dev/full", "x"); },
       "/dev/full: not a regular file; refusing to replace it"},
      {[&] { readWholeFile(folder_ / "absent.json"); },
       (folder_ / "absent.json").string() + ": No such file or directory"},
      {[&] { readWholeFile(folder_); }, folder_.string() + ": Is a directory"},
  };
  for (const auto& [failing, message] : cases) {
    try {
      failing();
      ADD_FAILURE() << "expected a FileError: " << message;
    } catch (const FileError& error) {
      EXPECT_TRUE(message.empty() || error.what() == message) << error.what();
    }
  }
  EXPECT_EQ(readWholeFile(file()), "old");
  EXPECT_EQ(entries(), 1);
}

// A write killed at any moment leaves the old contents or the new ones, never a mix.
TEST_F(AtomicFileTest, WritesKilledAtAnyMomentLeaveTheOldOrTheNewContents) {
  const std::string first(1'000'000, 'a'), second(1'500'000, 'b');
  writeFileAtomically(file(), first);
  testing::SeededRandom random;
  for (int round = 0; round < 25; ++round) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (;;) {
        writeFileAtomically(file(), second);
        writeFileAtomically(file(), first);
      }
    }
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 40'000));
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    const std::string written = readWholeFile(file());
    EXPECT_TRUE(written == first || written == second) << "a mix of " << written.size() << " bytes";
  }
}

}  // namespace
}  // namespace tessary::platform
