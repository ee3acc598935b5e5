// Build, colouring, analysis and saving of generated effects of N top-level cells with one sub-cell
// each.
// BM_PlainText is the floor: the snippet's characters and nothing else.

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "support/generated_effects.h"
#include "tessary/code_editor/code_analyzer.h"
#include "tessary/code_editor/code_builder.h"
#include "tessary/code_editor/code_highlighter.h"
#include "tessary/code_editor/code_importer.h"
#include "tessary/code_editor/snippet_layout.h"
#include "tessary/platform/atomic_file.h"
#include "tessary/platform/dispatch_queue.h"
#include "tessary/platform/text_storage.h"
#include "tessary/store/data_store.h"
#include "tessary/store/effect_file.h"

namespace {

using tessary::code_editor::BuildResult;
using tessary::code_editor::CodeAnalysisResult;
using tessary::code_editor::CodeAnalyzer;
using tessary::code_editor::CodeBuilder;
using tessary::code_editor::CodeCache;
using tessary::code_editor::CodePlatform;
using tessary::code_editor::SnippetLayout;
using tessary::store::CellProperty;
using tessary::store::LayerConfigRef;

constexpr CodePlatform kPlatform = CodePlatform::macOS;
constexpr double kTextSize = 12.0;

LayerConfigRef effectOf(const benchmark::State& state) {
  const auto cells = static_cast<int>(state.range(0));
  return tessary::testing::generateEffect(
      static_cast<std::uint32_t>(cells),
      {.cells = cells, .minSubcells = 1, .maxSubcells = 1, .hostileNames = false});
}

CodeBuilder makeBuilder() {
  return CodeBuilder(kTextSize, tessary::platform::DispatchQueue("tessary.bench.cache"));
}

void BM_PlainText(benchmark::State& state) {
  const LayerConfigRef layer = effectOf(state);
  for (auto _ : state) {
    std::string text = SnippetLayout::plainText(*layer, kPlatform);
    benchmark::DoNotOptimize(text.data());
  }
}

void BM_BuildCold(benchmark::State& state) {
  const LayerConfigRef layer = effectOf(state);
  CodeBuilder builder = makeBuilder();
  const CodeCache empty = builder.cache;
  std::optional<BuildResult> result;
  for (auto _ : state) {
    builder.cache = empty;
    result = builder.buildMainThread(std::nullopt, *layer, kPlatform);
    benchmark::DoNotOptimize(result->text.get());
  }
}

void BM_BuildWarm(benchmark::State& state) {
  const LayerConfigRef layer = effectOf(state);
  CodeBuilder builder = makeBuilder();
  std::optional<BuildResult> result = builder.buildMainThread(std::nullopt, *layer, kPlatform);
  for (auto _ : state) {
    builder.cache = result->cache;
    result = builder.buildMainThread(std::nullopt, *layer, kPlatform);
    benchmark::DoNotOptimize(result->text.get());
  }
}

// A slider of one cell's birth rate being dragged: every build shows a new value.
void BM_BuildDrag(benchmark::State& state) {
  const LayerConfigRef layer = effectOf(state);
  CodeBuilder builder = makeBuilder();
  std::optional<BuildResult> result = builder.buildMainThread(std::nullopt, *layer, kPlatform);
  auto& dragged = layer->cells[layer->cells.size() / 2]->birthRate;
  const double start = dragged.value;
  std::int64_t step = 0;
  for (auto _ : state) {
    builder.cache = result->cache;
    dragged.setValue(start + static_cast<double>(++step % 1000) * 0.25);
    result = builder.buildMainThread(CellProperty::birthRate, *layer, kPlatform);
    benchmark::DoNotOptimize(result->text.get());
  }
}

// The user typed a new birth rate into the last cell's line; the records are those of the text
// before the edit, and every analysis writes the number into the store.
void BM_Analyze(benchmark::State& state) {
  const LayerConfigRef layer = effectOf(state);
  const CodeBuilder builder = makeBuilder();
  BuildResult built = builder.buildMainThread(std::nullopt, *layer, kPlatform);
  const int lastCell = static_cast<int>(layer->cells.size()) - 1;
  std::string edited = built.text->string();
  for (const auto& record : built.newHistroy) {
    if (record.keypath() != CellProperty::birthRate || record.cellIndex() != lastCell ||
        record.subcellIndex()) {
      continue;
    }
    const std::string line(record.string());
    const std::size_t lineStart = edited.rfind(line + "\n");
    const std::size_t numberStart = lineStart + line.find(" = ") + 3;
    edited.replace(numberStart, line.size() - (numberStart - lineStart), "77.5");
  }

  tessary::platform::TextStorage storage;
  storage.setAttributedString(*built.text);
  tessary::store::DataStore store(layer);
  CodeAnalyzer analyzer(tessary::platform::DispatchQueue("tessary.bench.history"));
  analyzer.setHistory(std::move(built.newHistroy));
  if (analyzer.analyzeString(edited, storage, store, kPlatform) != CodeAnalysisResult::valid) {
    state.SkipWithError("the edit was not taken");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(analyzer.analyzeString(edited, storage, store, kPlatform));
  }
}

// What a host does on every keystroke in the snippet: the user typed a new birth rate into the
// last cell's line; the edit is analysed and written into the store, the snippet is built again
// with the birth rate as the property being changed, and the new cache and records are kept for
// the next keystroke. Two texts that differ in that one number take turns.
void BM_EditCycle(benchmark::State& state) {
  const LayerConfigRef layer = effectOf(state);
  // A birth rate has no sign in the snippet: the generated one may be negative.
  auto& birthRate = layer->cells.back()->birthRate;
  birthRate.setValue(150.0);
  const std::string typedText = SnippetLayout::plainText(*layer, kPlatform);
  birthRate.setValue(120.0);
  const std::string builtText = SnippetLayout::plainText(*layer, kPlatform);

  CodeBuilder builder = makeBuilder();
  BuildResult first = builder.buildMainThread(std::nullopt, *layer, kPlatform);
  builder.cache = std::move(first.cache);
  CodeAnalyzer analyzer(tessary::platform::DispatchQueue("tessary.bench.history"));
  analyzer.setHistory(std::move(first.newHistroy));
  tessary::platform::TextStorage storage;
  tessary::store::DataStore store(layer);
  const std::array<const std::string*, 2> texts{&typedText, &builtText};
  std::size_t keystroke = 0;
  for (auto _ : state) {
    const std::string& text = *texts[keystroke++ % texts.size()];
    if (analyzer.analyzeString(text, storage, store, kPlatform) != CodeAnalysisResult::valid) {
      state.SkipWithError("the edit was not taken");
      break;
    }
    BuildResult result = builder.buildMainThread(CellProperty::birthRate, *layer, kPlatform);
    builder.cache = std::move(result.cache);
    analyzer.setHistory(std::move(result.newHistroy));
    benchmark::DoNotOptimize(result.text.get());
  }
}

void BM_Highlight(benchmark::State& state) {
  const LayerConfigRef layer = effectOf(state);
  const std::string text = SnippetLayout::plainText(*layer, kPlatform);
  const tessary::code_editor::CodeHighlighter highlighter(kTextSize);
  for (auto _ : state) {
    auto coloured = highlighter.highlight(text);
    benchmark::DoNotOptimize(coloured.runCount());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

// The effect as a person might lay it out: indented by four spaces a level.
std::string handLaidOut(const tessary::store::LayerConfig& layer) {
  const std::string written = tessary::store::EffectFile::serialize(layer);
  std::string text;
  for (std::size_t at = 0; at < written.size(); ++at) {
    text += written[at];
    if (written[at] != '\n') continue;
    // The file's last line end has no line after it to indent.
    const std::size_t indentEnd = written.find_first_not_of(' ', at + 1);
    if (indentEnd != std::string::npos) text.append(indentEnd - (at + 1), ' ');
  }
  return text;
}

// Saving a hand laid out effect after one number changed, which writes that number's text anew and
// keeps every other byte; `bytes changed` counts the bytes of the file that differ afterwards.
void BM_SaveOneNumber(benchmark::State& state) {
  const LayerConfigRef layer = effectOf(state);
  const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                     ("tessary-bench-save-" + std::to_string(::getpid()) + ".json");
  const std::string before = handLaidOut(*layer);
  tessary::platform::writeFileAtomically(file, before);
  auto& velocity = layer->cells[layer->cells.size() / 2]->velocity;
  for (auto _ : state) {
    velocity.setValue(velocity.value == 1.0 ? 2.0 : 1.0);
    tessary::store::EffectFile::save(*layer, file);
  }
  // The bytes between the longest common beginning and end of the file before and after.
  const std::string after = tessary::platform::readWholeFile(file);
  const std::size_t shorter = std::min(before.size(), after.size());
  std::size_t same = 0;
  while (same < shorter && before[same] == after[same]) ++same;
  std::size_t sameEnd = 0;
  while (sameEnd < shorter - same &&
         before[before.size() - 1 - sameEnd] == after[after.size() - 1 - sameEnd]) {
    ++sameEnd;
  }
  const auto changed = static_cast<double>(std::max(before.size(), after.size()) - same - sameEnd);
  state.counters["bytes changed"] = changed;
  std::filesystem::remove(file);
}

// Importing the snippet of an effect of N cells, each with a sub-cell: about 2.2 KB of source a
// cell, so 460 cells make a source of 1 MB. Linear time shows as a steady time per byte.
void BM_Import(benchmark::State& state) {
  const std::string source = SnippetLayout::plainText(*effectOf(state), kPlatform);
  for (auto _ : state) {
    auto result = tessary::code_editor::CodeImporter::importSource(source, {});
    benchmark::DoNotOptimize(result.effect);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(source.size()));
  state.SetComplexityN(static_cast<std::int64_t>(source.size()));
  state.counters["source bytes"] = static_cast<double>(source.size());
}

void sizes(benchmark::internal::Benchmark* benchmark) {
  benchmark->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_PlainText)->Apply(sizes);
BENCHMARK(BM_BuildCold)->Apply(sizes);
BENCHMARK(BM_BuildWarm)->Apply(sizes);
BENCHMARK(BM_BuildDrag)->Apply(sizes);
BENCHMARK(BM_Analyze)->Apply(sizes);
BENCHMARK(BM_EditCycle)->Apply(sizes);
BENCHMARK(BM_Highlight)->Apply(sizes);
BENCHMARK(BM_SaveOneNumber)->Apply(sizes);
BENCHMARK(BM_Import)
    ->Arg(10)
    ->Arg(100)
    ->Arg(460)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace

BENCHMARK_MAIN();
