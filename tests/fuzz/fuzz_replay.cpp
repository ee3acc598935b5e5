// A fuzz target's checks over its seed corpus and over every input that once broke it, as an
// ordinary test (and so under the sanitizer builds too). A broken check stops the process. Linked
// with the target named by TESSARY_FUZZ_TARGET.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

TEST(FuzzReplayTest, KeptInputsPassTheChecks) {
  int replayed = 0;
  for (const char* kind : {"corpus", "regressions"}) {
    const std::filesystem::path folder =
        std::filesystem::path(TESSARY_SOURCE_DIR) / "fuzz" / kind / TESSARY_FUZZ_TARGET;
    if (!std::filesystem::is_directory(folder)) continue;
    for (const auto& input : std::filesystem::directory_iterator(folder)) {
      std::ifstream file(input.path(), std::ios::binary);
      const std::string bytes{std::istreambuf_iterator<char>(file), {}};
      SCOPED_TRACE(input.path().string());
      EXPECT_EQ(
          LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
          0);
      ++replayed;
    }
  }
  EXPECT_GT(replayed, 0) << "no kept inputs for " << TESSARY_FUZZ_TARGET;
}

}  // namespace
