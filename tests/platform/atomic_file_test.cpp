#include "tessary/platform/atomic_file.h"

#include "support/temporary_folder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

namespace tessary::platform {
namespace {

namespace fs = std::filesystem;

class AtomicFileTest : public testing::TemporaryFolderTest {
 protected:
  std::size_t entries() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder_), {}));
  }
};

// The replaced file keeps its permissions, a link keeps pointing at it, and no temporary file is
// left.
TEST_F(AtomicFileTest, ReplacesWholeFilesKeepingModeAndLinks) {
  const fs::path file = folder_ / "effect.json";
  writeFileAtomically(file, "first");
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
  for (const std::string contents : {"second, longer \xf0\x9f\x94\xa5", ""}) {
    writeFileAtomically(file, contents);
    EXPECT_EQ(readWholeFile(file), contents);
  }
  EXPECT_EQ(fs::status(file).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  const fs::path link = folder_ / "link.json";
  fs::create_symlink(file, link);
  writeFileAtomically(link, "through the link");
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(readWholeFile(file), "through the link");
  EXPECT_EQ(entries(), 2u);
}

TEST_F(AtomicFileTest, FailuresKeepTheOldFileAndNameThePath) {
  const fs::path file = folder_ / "effect.json";
  writeFileAtomically(file, "old");
  if (::geteuid() != 0) {
    fs::permissions(folder_, fs::perms::owner_write, fs::perm_options::remove);
    EXPECT_THROW(writeFileAtomically(file, "new"), FileError);
    fs::permissions(folder_, fs::perms::owner_write, fs::perm_options::add);
  }
  const struct {
    std::function<void()> failing;
    std::string message;
  } cases[] = {
      {[&] { writeFileAtomically(folder_ / "missing" / "effect.json", "new"); }, ""},
      {[&] { writeFileAtomically(folder_, "new"); }, ""},
      {[] { writeFileAtomically("/dev/full", "x"); },
       "/dev/full: not a regular file; refusing to replace it"},
      {[&] { readWholeFile(folder_ / "absent.json"); },
       (folder_ / "absent.json").string() + ": No such file or directory"},
      {[&] { readWholeFile(folder_); }, ""},
  };
  for (const auto& c : cases) {
    try {
      c.failing();
      ADD_FAILURE() << "expected a FileError: " << c.message;
    } catch (const FileError& error) {
      EXPECT_TRUE(c.message.empty() || error.what() == c.message) << error.what();
    }
  }
  EXPECT_TRUE(fs::is_character_file("/dev/full"));
  EXPECT_EQ(readWholeFile(file), "old");
  EXPECT_EQ(entries(), 1u);
}

}  // namespace
}  // namespace tessary::platform
