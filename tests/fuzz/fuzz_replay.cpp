// A fuzz target's checks over its seed corpus and over every input that once broke it, as an
// ordinary test (and so under the sanitizer builds too). A broken check stops the process. Linked
// with the target named by TESSARY_FUZZ_TARGET.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "support/golden_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

TEST(FuzzReplayTest, KeptInputsPassTheChecks) {
  int replayed = 0;
  for (const char* kind : {"corpus", "regressions"}) {
    const auto folder =
        std::filesystem::path(TESSARY_SOURCE_DIR) / "fuzz" / kind / TESSARY_FUZZ_TARGET;
    if (!std::filesystem::is_directory(folder)) continue;
    for (const auto& input : std::filesystem::directory_iterator(folder)) {
      SCOPED_TRACE(input.path().string());
      const std::string bytes = tessary::testing::readFile(input.path());
      EXPECT_EQ(
          LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
          0);
      ++replayed;
    }
  }
  EXPECT_GT(replayed, 0) << "no kept inputs for " << TESSARY_FUZZ_TARGET;
}
