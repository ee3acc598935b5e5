// Measures how much memory a large effect takes on its whole way through the program: the effect
// file loaded, built on both platforms, and an edit of each snippet analysed. The effect is the
// seeded one of 1,000 cells with ten sub-cells each. Prints one JSON object: the snippet's size and
// how far the peak resident memory grew, both in bytes.
//
//   tessary-peak-memory

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

#include "support/generated_effects.h"
#include "tessary/code_editor/code_analyzer.h"
#include "tessary/code_editor/code_builder.h"
#include "tessary/platform/dispatch_queue.h"
#include "tessary/platform/text_storage.h"
#include "tessary/store/data_store.h"
#include "tessary/store/effect_file.h"

namespace {

using tessary::code_editor::CodeAnalysisResult;
using tessary::code_editor::CodePlatform;

constexpr int kCells = 1'000;
constexpr int kSubcells = 10;

std::uint64_t peakResidentBytes() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;
}

// Builds the snippet of `layer` for `platform`, then analyses it with the last lifetime changed;
// gives the snippet's size.
std::size_t buildAndAnalyse(const tessary::store::LayerConfigRef& layer, CodePlatform platform) {
  const tessary::code_editor::CodeBuilder builder(
      12.0, tessary::platform::DispatchQueue("tessary.peak.cache"));
  tessary::code_editor::BuildResult built = builder.buildMainThread(std::nullopt, *layer, platform);
  tessary::code_editor::CodeAnalyzer analyzer(
      tessary::platform::DispatchQueue("tessary.peak.history"));
  analyzer.setHistory(std::move(built.newHistroy));
  std::string edited = built.text->string();
  const std::string line =
      "\nsubcell" + std::to_string(kCells) + "_" + std::to_string(kSubcells) + ".lifetime = ";
  const std::size_t number = edited.rfind(line) + line.size();
  // A number each platform's build has not shown yet: the store keeps the one written before.
  edited.replace(number, edited.find('\n', number) - number,
                 platform == CodePlatform::macOS ? "3.5" : "4.5");
  tessary::store::DataStore store(layer);
  if (analyzer.analyzeString(edited, tessary::platform::TextStorage(), store, platform) !=
      CodeAnalysisResult::valid) {
    throw std::runtime_error("the edit was not taken");
  }
  return edited.size();
}

}  // namespace

int main() {
  try {
    const auto effect = tessary::testing::generateEffect(
        3, {.cells = kCells, .minSubcells = kSubcells, .maxSubcells = kSubcells});
    const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                       ("tessary-peak-" + std::to_string(::getpid()) + ".json");
    tessary::store::EffectFile::save(*effect, file);
    const std::uint64_t before = peakResidentBytes();
    const tessary::store::LayerConfigRef loaded = tessary::store::EffectFile::load(file);
    std::filesystem::remove(file);
    std::size_t snippetBytes = 0;
    for (const CodePlatform platform : {CodePlatform::macOS, CodePlatform::iOS}) {
      snippetBytes = std::max(snippetBytes, buildAndAnalyse(loaded, platform));
    }
    std::printf("{\"snippet_bytes\": %zu, \"peak_growth_bytes\": %ju}\n", snippetBytes,
                static_cast<std::uintmax_t>(peakResidentBytes() - before));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  return 0;
}
