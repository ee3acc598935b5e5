#include "tessary/platform/atomic_file.h"

#include "support/temporary_folder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace tessary::platform {
namespace {

namespace fs = std::filesystem;

class AtomicFileTest : public testing::TemporaryFolderTest {
 protected:
  std::size_t entries() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder_), {}));
  }
};

TEST_F(AtomicFileTest, WritesAndReplacesWholeFiles) {
  const fs::path file = folder_ / "effect.json";
  writeFileAtomically(file, "first");
  EXPECT_EQ(readWholeFile(file), "first");
  writeFileAtomically(file, "second, longer \xf0\x9f\x94\xa5");
  EXPECT_EQ(readWholeFile(file), "second, longer \xf0\x9f\x94\xa5");
  writeFileAtomically(file, "");
  EXPECT_EQ(readWholeFile(file), "");
  EXPECT_EQ(entries(), 1u);
}

TEST_F(AtomicFileTest, FailuresKeepTheOldFileAndLeaveNothingBehind) {
  const fs::path file = folder_ / "effect.json";
  writeFileAtomically(file, "old");
  if (::geteuid() != 0) {
    fs::permissions(folder_, fs::perms::owner_write, fs::perm_options::remove);
    EXPECT_THROW(writeFileAtomically(file, "new"), FileError);
    fs::permissions(folder_, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(readWholeFile(file), "old");
  }
  EXPECT_THROW(writeFileAtomically(folder_ / "missing" / "effect.json", "new"), FileError);
  EXPECT_THROW(writeFileAtomically(folder_, "new"), FileError);
  EXPECT_EQ(readWholeFile(file), "old");
  EXPECT_EQ(entries(), 1u);
}

TEST_F(AtomicFileTest, LinksKeepPointingAtTheReplacedFile) {
  const fs::path target = folder_ / "effect.json";
  const fs::path link = folder_ / "link.json";
  writeFileAtomically(target, "old");
  fs::create_symlink(target, link);
  writeFileAtomically(link, "new");
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(readWholeFile(target), "new");
  EXPECT_EQ(entries(), 2u);
}

TEST_F(AtomicFileTest, DeviceFilesAreNeverReplaced) {
  try {
    writeFileAtomically("/dev/full", "x");
    FAIL() << "expected a FileError";
  } catch (const FileError& error) {
    EXPECT_EQ(std::string(error.what()), "/dev/full: not a regular file; refusing to replace it");
  }
  EXPECT_TRUE(fs::is_character_file("/dev/full"));
}

TEST_F(AtomicFileTest, ReadErrorsNameThePath) {
  try {
    readWholeFile(folder_ / "absent.json");
    FAIL() << "expected a FileError";
  } catch (const FileError& error) {
    EXPECT_EQ(error.reason(), "No such file or directory");
    EXPECT_EQ(error.path(), folder_ / "absent.json");
  }
  EXPECT_THROW(readWholeFile(folder_), FileError);
}

}  // namespace
}  // namespace tessary::platform
