// A save that is cut off (the process killed at any moment, or exactly between writing the new
// text and putting it in place) leaves the old effect or the new one, never a mix: only the
// temporary file beside it can be partial.

#include <gtest/gtest.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/generated_effects.h"
#include "tessary/store/effect_file.h"

namespace tessary::store {
namespace {

namespace fs = std::filesystem;

constexpr int kFilterRefused = 77;

std::string readFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

class EffectFileInterruptionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("tessary-interrupted-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    file_ = folder_ / "effect.json";
  }
  void TearDown() override { fs::remove_all(folder_); }

  // Everything in the folder except the effect file itself.
  std::vector<fs::path> leftovers() const {
    std::vector<fs::path> paths;
    for (const auto& entry : fs::directory_iterator(folder_)) {
      if (entry.path() != file_) paths.push_back(entry.path());
    }
    return paths;
  }

  fs::path folder_;
  fs::path file_;
};

// Kills the process the moment it asks for a rename, the step that puts a saved file in place.
bool killOnRename() {
#if defined(__x86_64__)
  sock_filter filter[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_rename, 3, 0),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_renameat, 2, 0),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_renameat2, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS),
  };
  sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
  return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
         ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
#else
  return false;
#endif
}

TEST_F(EffectFileInterruptionTest, KilledBeforeTheRenameKeepsTheOldFileWhole) {
  const LayerConfigRef oldEffect = testing::generateEffect(1, {.cells = 40});
  const LayerConfigRef newEffect = testing::generateEffect(2, {.cells = 40});
  EffectFile::save(*oldEffect, file_);

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (!killOnRename()) ::_exit(kFilterRefused);
    EffectFile::save(*newEffect, file_);
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  if (WIFEXITED(status) && WEXITSTATUS(status) == kFilterRefused) {
    GTEST_SKIP() << "system call filters are not available here";
  }
  ASSERT_TRUE(WIFSIGNALED(status)) << "the save was not stopped at its rename";
  EXPECT_EQ(WTERMSIG(status), SIGSYS);

  EXPECT_EQ(readFile(file_), EffectFile::serialize(*oldEffect));
  EXPECT_TRUE(*EffectFile::load(file_) == *oldEffect);
  // The new text was complete and on disk before the rename: only the temporary file holds it.
  const std::vector<fs::path> left = leftovers();
  ASSERT_EQ(left.size(), 1u);
  EXPECT_TRUE(left[0].filename().string().starts_with("effect.json.tmp-")) << left[0];
  EXPECT_EQ(readFile(left[0]), EffectFile::serialize(*newEffect));
}

TEST_F(EffectFileInterruptionTest, SavesKilledAtAnyMomentLeaveTheOldOrTheNewEffect) {
  const std::string first = EffectFile::serialize(*testing::generateEffect(3, {.cells = 600}));
  const std::string second = EffectFile::serialize(*testing::generateEffect(4, {.cells = 700}));
  const LayerConfigRef firstEffect = EffectFile::parse(first, "first");
  const LayerConfigRef secondEffect = EffectFile::parse(second, "second");
  EffectFile::save(*firstEffect, file_);

  std::mt19937 random(6);
  for (int round = 0; round < 25; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (;;) {
        EffectFile::save(*secondEffect, file_);
        EffectFile::save(*firstEffect, file_);
      }
    }
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 40'000));
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);

    const std::string saved = readFile(file_);
    EXPECT_TRUE(saved == first || saved == second)
        << "a mixed file of " << saved.size() << " bytes";
    for (const fs::path& left : leftovers()) {
      EXPECT_TRUE(left.filename().string().starts_with("effect.json.tmp-")) << left;
      const std::string partial = readFile(left);
      EXPECT_TRUE(first.starts_with(partial) || second.starts_with(partial)) << left;
      fs::remove(left);
    }
  }
}

}  // namespace
}  // namespace tessary::store
