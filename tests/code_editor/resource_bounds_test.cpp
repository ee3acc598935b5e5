// A large effect goes the whole way (save, load, build on both platforms, analyse edits) within a
// bounded amount of memory; the peak is printed so that it can be followed over time. By default
// 1,000 cells of ten sub-cells; with TESSARY_LARGE_EFFECT=1 an effect file of 50 MB, which takes
// a minute or more and gigabytes under sanitizers.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "analysis_test_support.h"
#include "support/generated_effects.h"
#include "tessary/code_editor/code_analyzer.h"
#include "tessary/platform/text_storage.h"
#include "tessary/store/effect_file.h"

namespace tessary::code_editor {
namespace {

long peakMegabytes() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

// `text` with the number on the last line that begins with `prefix` replaced.
std::string withNumber(std::string text, const std::string& prefix, const std::string& number) {
  const std::size_t start = text.rfind("\n" + prefix) + 1 + prefix.size();
  text.replace(start, text.find('\n', start) - start, number);
  return text;
}

TEST(ResourceBoundsTest, ThousandsOfCellsGoTheWholeWayInBoundedMemory) {
  const char* large = std::getenv("TESSARY_LARGE_EFFECT");
  const bool fiftyMegabytes = large != nullptr && std::string_view(large) == "1";
  const int cells = fiftyMegabytes ? 5'000 : 1'000, subcells = fiftyMegabytes ? 8 : 10;
  const store::LayerConfigRef effect = tessary::testing::generateEffect(
      fiftyMegabytes ? 4 : 3, {.cells = cells, .minSubcells = subcells, .maxSubcells = subcells});
  const long before = peakMegabytes();
  const auto file = std::filesystem::temp_directory_path() /
                    ("tessary-bounds-" + std::to_string(::getpid()) + ".json");
  store::EffectFile::save(*effect, file);
  const auto fileBytes = std::filesystem::file_size(file);
  const store::LayerConfigRef loaded = store::EffectFile::load(file);
  std::filesystem::remove(file);
  EXPECT_TRUE(*loaded == *effect);
  EXPECT_GE(fileBytes, fiftyMegabytes ? 50'000'000u : 0u);

  const std::string last =
      "subcell" + std::to_string(cells) + "_" + std::to_string(subcells) + ".lifetime = ";
  std::size_t snippetBytes = 0;
  for (const CodePlatform platform : {CodePlatform::macOS, CodePlatform::iOS}) {
    CodeAnalyzer analyzer(platform::DispatchQueue("tessary.test.history"));
    auto built = testing::buildSnippet(*loaded, platform);
    analyzer.setHistory(std::move(built.records));
    const std::string& text = built.text;
    snippetBytes = text.size();
    store::DataStore store(loaded->deepCopy());
    EXPECT_EQ(analyzer.analyzeString(text, platform::TextStorage(), store, platform),
              CodeAnalysisResult::invalid);
    const std::string edited =
        withNumber(withNumber(text, "cell1.lifetime = ", "2.5"), last, "3.5");
    testing::ChangeRecorder recorder(store);
    EXPECT_EQ(analyzer.analyzeString(edited, platform::TextStorage(), store, platform),
              CodeAnalysisResult::valid);
    EXPECT_EQ(
        recorder.described(),
        (std::vector<std::string>{"lifetime[0]=2.5", "lifetime[" + std::to_string(cells - 1) + "," +
                                                         std::to_string(subcells - 1) + "]=3.5"}));
  }
  const long grown = peakMegabytes() - before;
  std::printf("%d x %d cells: file %ju kB, snippet %zu kB, peak memory grew by %ld MB\n", cells,
              subcells, static_cast<std::uintmax_t>(fileBytes / 1024), snippetBytes / 1024, grown);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
  EXPECT_LT(grown, fiftyMegabytes ? 2'000 : 400) << "MB";
#endif
}

}  // namespace
}  // namespace tessary::code_editor
