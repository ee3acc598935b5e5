#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>

#include "support/generated_effects.h"
#include "support/golden_file.h"
#include "support/temporary_folder.h"
#include "support/test_seed.h"
#include "tessary/store/effect_file.h"

namespace tessary::store {
namespace {

namespace fs = std::filesystem;
using EffectFileInterruptionTest = testing::TemporaryFolderTest;

// A save killed at any moment leaves the old effect or the new one, never a mix: only the
// temporary file beside it can be partial.
TEST_F(EffectFileInterruptionTest, SavesKilledAtAnyMomentLeaveTheOldOrTheNewEffect) {
  const fs::path file = folder_ / "effect.json";
  const LayerConfigRef firstEffect = testing::generateEffect(3, {.cells = 600});
  const LayerConfigRef secondEffect = testing::generateEffect(4, {.cells = 700});
  const std::string first = EffectFile::serialize(*firstEffect);
  const std::string second = EffectFile::serialize(*secondEffect);
  EffectFile::save(*firstEffect, file);
  testing::SeededRandom random;
  for (int round = 0; round < 25; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (;;) {
        EffectFile::save(*secondEffect, file);
        EffectFile::save(*firstEffect, file);
      }
    }
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 40'000));
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    const std::string saved = testing::readFile(file);
    EXPECT_TRUE(saved == first || saved == second)
        << "a mixed file of " << saved.size() << " bytes";
    for (const auto& entry : fs::directory_iterator(folder_)) {
      if (entry.path() == file) continue;
      EXPECT_TRUE(entry.path().filename().string().starts_with("effect.json.tmp-")) << entry;
      const std::string partial = testing::readFile(entry.path());
      EXPECT_TRUE(first.starts_with(partial) || second.starts_with(partial)) << entry;
      fs::remove(entry.path());
    }
  }
}

}  // namespace
}  // namespace tessary::store
