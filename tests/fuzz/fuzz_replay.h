#pragma once

// Runs a fuzz target's checks over its seed corpus and over every input that once broke it, as an
// ordinary test (and so under the sanitizer builds too). A broken check stops the process.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace tessary::fuzzing {

// The inputs kept for `target`: fuzz/corpus/<target> and fuzz/regressions/<target>.
inline std::vector<std::filesystem::path> keptInputs(const std::string& target) {
  std::vector<std::filesystem::path> inputs;
  for (const char* kind : {"corpus", "regressions"}) {
    const std::filesystem::path folder =
        std::filesystem::path(TESSARY_SOURCE_DIR) / "fuzz" / kind / target;
    if (!std::filesystem::is_directory(folder)) continue;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      if (entry.is_regular_file()) inputs.push_back(entry.path());
    }
  }
  return inputs;
}

inline void replayKeptInputs(const std::string& target) {
  const std::vector<std::filesystem::path> inputs = keptInputs(target);
  ASSERT_FALSE(inputs.empty()) << "no kept inputs for " << target;
  for (const std::filesystem::path& input : inputs) {
    SCOPED_TRACE(input.string());
    std::ifstream file(input, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    EXPECT_EQ(
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
        0);
  }
}

}  // namespace tessary::fuzzing
