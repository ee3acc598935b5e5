// Edits of a built snippet, analysed on either platform, pending or not: no crash, every stored
// value finite and within bounds, and nothing but `invalid` and no writes while no built line
// changed. Input: a control byte (bit 0: iOS, bit 1: pending, others: the effect), then edits.

#include <algorithm>
#include <cmath>

#include "code_editor/analysis_test_support.h"
#include "fuzz_support.h"
#include "support/generated_effects.h"
#include "tessary/code_editor/code_analyzer.h"
#include "tessary/platform/text_storage.h"
#include "tessary/store/effect_file.h"
#include "tessary/store/property_table.h"

namespace {

using namespace tessary::code_editor;
using namespace tessary::store;
using tessary::fuzzing::require;

struct Subject {
  LayerConfigRef layer;
  testing::BuiltSnippet built;
};

// Every effect built for both platforms, once: macOS at even places, iOS at odd ones.
const Subject& subject(std::size_t effect, CodePlatform platform) {
  static const std::vector<Subject> kSubjects = [] {
    std::vector<Subject> subjects;
    for (const LayerConfigRef& layer :
         {EffectFile::demo(), tessary::testing::generateEffect(11, {.cells = 3, .maxSubcells = 2}),
          tessary::testing::generateEffect(
              5, {.cells = 6, .minSubcells = 1, .maxSubcells = 1, .hostileNames = false})}) {
      for (const CodePlatform side : {CodePlatform::macOS, CodePlatform::iOS}) {
        subjects.push_back({layer, testing::buildSnippet(*layer, side)});
      }
    }
    return subjects;
  }();
  return kSubjects[effect % (kSubjects.size() / 2) * 2 + (platform == CodePlatform::macOS ? 0 : 1)];
}

// Edits read from `bytes`: each replaces a stretch, inserts, erases, or replaces what a line holds
// after the next "=". Content bytes mostly become characters of number lines; the rest stay,
// ill-formed UTF-8 too.
std::string edited(std::string text, std::string_view bytes) {
  std::size_t next = 0;
  const auto byte = [&] {
    return next < bytes.size() ? std::uint8_t(bytes[next++]) : std::uint8_t{0};
  };
  const auto content = [&] {
    static constexpr std::string_view kBiased = "0123456789.-= \n.-0e,:)";
    std::string content;
    for (std::size_t length = byte() % 24; length > 0 && next < bytes.size(); --length) {
      const std::uint8_t character = byte();
      content += character < 176 ? kBiased[character % kBiased.size()] : char(character);
    }
    return content;
  };
  const std::size_t limit = text.size() * 2 + 64;
  while (next < bytes.size() && text.size() < limit) {
    const std::uint8_t kind = byte() % 4;
    const std::size_t high = byte();
    std::size_t begin = (high << 8 | byte()) % (text.size() + 1);
    if (kind == 0) {
      const std::size_t length = byte() % 8;
      text.replace(begin, length, content());
    } else if (kind == 1) {
      text.insert(begin, content());
    } else if (kind == 2) {
      text.erase(begin, byte() % 32);
    } else {
      const std::size_t equals = text.find('=', begin);
      begin = equals == std::string::npos ? text.size() : equals + 1;
      text.replace(begin, std::min(text.find('\n', begin), text.size()) - begin, content());
    }
  }
  return text;
}

bool isSound(const StoreValue& value) {
  if (const double* number = std::get_if<double>(&value)) return std::isfinite(*number);
  const auto& color = std::get<tessary::platform::Color>(value);
  return std::ranges::all_of(std::array{color.red, color.green, color.blue, color.alpha},
                             [](double part) { return part >= 0.0 && part <= 1.0; });
}

bool isSound(const LimitedValue& value) {
  return std::isfinite(value.value) && std::isfinite(value.min) && std::isfinite(value.max) &&
         value.min <= value.value && value.value <= value.max;
}

// Whether every number of the cell or layer and of what it holds is sound.
bool isSound(const CellConfig& cell) {
  bool sound = isSound(
      tessary::platform::Color{cell.colorRed, cell.colorGreen, cell.colorBlue, cell.colorAlpha});
  for (const auto& row : PropertyTable::rows()) {
    sound = sound && (!row.isCellNumber() || isSound(cell.*row.cellNumber));
  }
  for (const auto& subcell : cell.subcells) sound = sound && isSound(*subcell);
  return sound;
}

bool isSound(const LayerConfig& layer) {
  bool sound = isSound(layer.background());
  for (const auto& row : PropertyTable::rows()) {
    sound = sound && (!row.isLayerNumber() || isSound(layer.*row.layerNumber));
  }
  for (const auto& cell : layer.cells) sound = sound && isSound(*cell);
  return sound;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t control = data[0];
  const CodePlatform platform = (control & 1) != 0 ? CodePlatform::iOS : CodePlatform::macOS;
  const auto& [layer, built] = subject(control >> 2, platform);
  const std::string newText = edited(built.text, tessary::fuzzing::textOf(data + 1, size - 1));
  static const tessary::platform::DispatchQueue historyQueue("tessary.fuzz.history");
  CodeAnalyzer analyzer(historyQueue);
  analyzer.setHistory(built.records);
  analyzer.isPending = (control & 2) != 0;
  DataStore store(layer->deepCopy());
  std::size_t writes = 0;
  store.addObserver([&writes](const StoreChange& change) {
    require(isSound(change.newValue), "every value the store takes is finite");
    ++writes;
  });
  const CodeAnalysisResult answer =
      analyzer.analyzeString(newText, tessary::platform::TextStorage(), store, platform);
  require(isSound(*store.layer()), "every stored number is finite and within its bounds");
  std::vector<LineProblem> problems;
  DataStore explained(layer->deepCopy());
  require(analyzer.analyzeString(newText, tessary::platform::TextStorage(), explained, platform,
                                 problems) == answer &&
              EffectFile::serialize(*explained.layer()) == EffectFile::serialize(*store.layer()),
          "saying why lines could not be used changes neither the answer nor the writes");
  require(answer != CodeAnalysisResult::pending ||
              (!problems.empty() && problems.back().reason == LineProblem::Reason::stillTyping),
          "a pending answer names the unfinished number");
  // Looking for a changed line takes long: only when the answer or the writes need one.
  if (answer != CodeAnalysisResult::invalid || writes > 0) {
    require(std::ranges::any_of(built.records,
                                [&](const CodeHistory& record) {
                                  const auto line =
                                      testing::referenceCurrentLine(record.string(), newText);
                                  return line && line->range && line->text != record.string();
                                }),
            "an answer other than invalid, or a write, needs a changed line");
  }
  return 0;
}
