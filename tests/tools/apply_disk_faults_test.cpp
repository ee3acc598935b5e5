// `tessary-code apply` saving onto a full disk, a read-only file system or a folder the user may
// not write: one line that names the file and the system's reason, exit status 2, the old effect
// as it was and nothing left beside it. The disks are made in a mount namespace of their own, so
// nothing stays mounted; where that is not allowed the case is skipped.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "support/program_run.h"
#include "tessary/code_editor/snippet_layout.h"
#include "tessary/store/effect_file.h"

namespace tessary {
namespace {

namespace fs = std::filesystem;
using testing::readFile;
using testing::writeFile;

constexpr int kCannotSetUp = 77;

struct ScriptRun {
  int status;
  std::string output;
};

ScriptRun runCommand(const std::string& command) {
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  std::string output;
  char buffer[4096];
  std::size_t count = 0;
  while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, count);
  const int status = pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

class ApplyDiskFaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(testing::programPath())) GTEST_SKIP() << "the program is not built";
    folder_ = fs::path(::testing::TempDir()) / ("disk-faults-" + std::to_string(::getpid()));
    fs::remove_all(folder_);
    fs::create_directories(disk());
    writeFile(original(), store::EffectFile::demoJson());
    const std::string snippet = code_editor::SnippetLayout::plainText(
        *store::EffectFile::demo(), code_editor::CodePlatform::macOS);
    writeFile(folder_ / "edited.swift",
              testing::replacedOnce(snippet, "cell1.birthRate = 120.0", "cell1.birthRate = 150"));
  }
  void TearDown() override {
    fs::permissions(disk(), fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(folder_);
  }

  fs::path disk() const { return folder_ / "disk"; }
  fs::path original() const { return folder_ / "fire.json"; }

  // Runs, through `shell` ("sh", or "unshare -m sh" for a mount namespace of its own): `prepare`
  // (exiting 77 when the fault cannot be made here), then the program through `runAs` on the
  // effect in disk/, then shows whether the effect is intact and what disk/ holds.
  ScriptRun applyAfter(const std::string& shell, const std::string& prepare,
                       const std::string& runAs = "") const {
    const std::string effect = (disk() / "fire.json").string();
    const fs::path script = folder_ / "fault.sh";
    writeFile(script, "cp " + original().string() + " " + disk().string() + "\n" + prepare +
                          " || exit " + std::to_string(kCannotSetUp) + "\n" + runAs + " " +
                          testing::programPath().string() + " apply " + effect + " " +
                          (folder_ / "edited.swift").string() + "\necho \"status $?\"\ncmp -s " +
                          original().string() + " " + effect + " && echo intact\nls -A " +
                          disk().string() + "\n");
    return runCommand(shell + " " + script.string());
  }

  std::string expectedOutput(const std::string& reason, const std::string& listing) const {
    return "tessary-code: " + (disk() / "fire.json").string() + ": cannot save: " + reason +
           "\nstatus 2\nintact\n" + listing;
  }

  fs::path folder_;
};

TEST_F(ApplyDiskFaultsTest, AFullDisk) {
  const std::string disk = this->disk().string();
  const ScriptRun run = applyAfter("unshare -m sh", "mount -t tmpfs -o size=64k tmpfs " + disk +
                                                        " && cp " + original().string() + " " +
                                                        disk + " && { dd if=/dev/zero of=" + disk +
                                                        "/filler bs=1k 2>/dev/null; true; }");
  if (run.status == kCannotSetUp) GTEST_SKIP() << "cannot mount a small disk here: " << run.output;
  EXPECT_EQ(run.output, expectedOutput("No space left on device", "filler\nfire.json\n"));
}

TEST_F(ApplyDiskFaultsTest, AReadOnlyFileSystem) {
  const std::string disk = this->disk().string();
  const ScriptRun run = applyAfter("unshare -m sh", "mount --bind -o ro " + disk + " " + disk);
  if (run.status == kCannotSetUp) GTEST_SKIP() << "cannot mount read-only here: " << run.output;
  EXPECT_EQ(run.output, expectedOutput("Read-only file system", "fire.json\n"));
}

TEST_F(ApplyDiskFaultsTest, AFolderTheUserMayNotWrite) {
  // Root may write anywhere: the program runs as nobody then.
  const bool root = ::geteuid() == 0;
  const ScriptRun run =
      applyAfter("sh",
                 (root ? "command -v setpriv >/dev/null && " : "") + std::string("chmod 555 ") +
                     disk().string() + " && chmod 755 " + folder_.string(),
                 root ? "setpriv --reuid=65534 --regid=65534 --clear-groups" : "");
  if (run.status == kCannotSetUp) GTEST_SKIP() << "cannot run as another user here";
  EXPECT_EQ(run.output, expectedOutput("Permission denied", "fire.json\n"));
}

}  // namespace
}  // namespace tessary
