// Large effects go the whole way (save, load, build on both platforms, analyse edits) within a
// bounded amount of memory. The peak is printed so that it can be followed over time.
//
// The effect of a 50 MB file takes a minute or more and gigabytes under sanitizers; it runs only
// with TESSARY_LARGE_EFFECT=1 in the environment.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/generated_effects.h"
#include "tessary/code_editor/code_analyzer.h"
#include "tessary/code_editor/code_builder.h"
#include "tessary/platform/dispatch_queue.h"
#include "tessary/platform/text_storage.h"
#include "tessary/store/data_store.h"
#include "tessary/store/effect_file.h"

namespace tessary::code_editor {
namespace {

namespace fs = std::filesystem;
using platform::DispatchQueue;
using store::CellProperty;
using store::DataStore;
using store::EffectFile;
using store::LayerConfigRef;
using store::StoreChange;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

long peakResidentMegabytes() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

long currentResidentMegabytes() {
  long pages = 0;
  long resident = 0;
  if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(statm);
  }
  return resident * ::sysconf(_SC_PAGESIZE) / (1024 * 1024);
}

// Replaces the number on the line that begins with `prefix`.
std::string withNumber(std::string text, const std::string& prefix, const std::string& number) {
  const std::size_t line = text.rfind("\n" + prefix);
  EXPECT_NE(line, std::string::npos) << prefix;
  const std::size_t start = line + 1 + prefix.size();
  text.replace(start, text.find('\n', start) - start, number);
  return text;
}

struct Outcome {
  std::size_t fileBytes;
  std::size_t snippetBytes;
  long grownMegabytes;
};

// Saves, loads, builds and analyses an effect, checking each step; gives the sizes and how much
// the peak memory grew.
Outcome goTheWholeWay(const LayerConfigRef& effect) {
  const long before = currentResidentMegabytes();
  const fs::path file =
      fs::temp_directory_path() / ("tessary-bounds-" + std::to_string(::getpid()) + ".json");
  EffectFile::save(*effect, file);
  Outcome outcome{static_cast<std::size_t>(fs::file_size(file)), 0, 0};
  const LayerConfigRef loaded = EffectFile::load(file);
  fs::remove(file);
  EXPECT_TRUE(*loaded == *effect);

  const CodeBuilder builder(12.0, DispatchQueue("tessary.test.cache"));
  const DispatchQueue historyQueue("tessary.test.history");
  const auto& lastCell = *loaded->cells.back();
  const std::string last = "subcell" + std::to_string(lastCell.index + 1) + "_" +
                           std::to_string(lastCell.subcells.size()) + ".lifetime = ";
  for (const CodePlatform platform : {CodePlatform::macOS, CodePlatform::iOS}) {
    CodeAnalyzer analyzer(historyQueue);
    std::string text;
    {
      BuildResult built = builder.buildMainThread(std::nullopt, *loaded, platform);
      text = built.text->string();
      analyzer.setHistory(std::move(built.newHistroy));
    }
    outcome.snippetBytes = text.size();
    DataStore store(loaded->deepCopy());
    std::size_t writes = 0;
    store.addObserver([&](const StoreChange& change) {
      ++writes;
      EXPECT_EQ(change.keypath, store::AnyKeyPath(CellProperty::lifetime));
    });
    EXPECT_EQ(analyzer.analyzeString(text, platform::TextStorage(), store, platform),
              CodeAnalysisResult::invalid);
    const std::string edited =
        withNumber(withNumber(text, "cell1.lifetime = ", "2.5"), last, "3.5");
    EXPECT_EQ(analyzer.analyzeString(edited, platform::TextStorage(), store, platform),
              CodeAnalysisResult::valid);
    EXPECT_EQ(writes, 2u);
    EXPECT_EQ(store.layer()->cells.front()->lifetime.value, 2.5);
    EXPECT_EQ(store.layer()->cells.back()->subcells.back()->lifetime.value, 3.5);
  }
  outcome.grownMegabytes = peakResidentMegabytes() - before;
  return outcome;
}

TEST(ResourceBoundsTest, ThousandCellsOfTenSubcellsEach) {
  const LayerConfigRef effect = testing::generateEffect(
      3, {.cells = 1000, .minSubcells = 10, .maxSubcells = 10, .hostileNames = true});
  const Outcome outcome = goTheWholeWay(effect);
  std::printf("1,000 x 10 cells: file %zu kB, snippet %zu kB, peak memory grew by %ld MB\n",
              outcome.fileBytes / 1024, outcome.snippetBytes / 1024, outcome.grownMegabytes);
  if (!kSanitized) {
    EXPECT_LT(outcome.grownMegabytes, 400);
  }
}

TEST(ResourceBoundsTest, FiftyMegabyteEffectFile) {
  const char* wanted = std::getenv("TESSARY_LARGE_EFFECT");
  if (wanted == nullptr || std::string(wanted) != "1") {
    GTEST_SKIP() << "set TESSARY_LARGE_EFFECT=1 to run";
  }
  const int cells = 5'000;
  const LayerConfigRef effect = testing::generateEffect(
      4, {.cells = cells, .minSubcells = 8, .maxSubcells = 8, .hostileNames = true});
  const Outcome outcome = goTheWholeWay(effect);
  std::printf("50 MB file: file %zu kB, snippet %zu kB, peak memory grew by %ld MB\n",
              outcome.fileBytes / 1024, outcome.snippetBytes / 1024, outcome.grownMegabytes);
  EXPECT_GE(outcome.fileBytes, 50'000'000u);
  if (!kSanitized) {
    EXPECT_LT(outcome.grownMegabytes, 2'000);
  }
}

}  // namespace
}  // namespace tessary::code_editor
