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

// Every effect built for both platforms, once.
const testing::BuiltSnippet& subject(std::size_t effect, CodePlatform platform,
                                     LayerConfigRef& layer) {
  static const std::vector<LayerConfigRef> kEffects{
      EffectFile::demo(), tessary::testing::generateEffect(11, {.cells = 3, .maxSubcells = 2}),
      tessary::testing::generateEffect(
          5, {.cells = 6, .minSubcells = 1, .maxSubcells = 1, .hostileNames = false})};
  static const std::vector<testing::BuiltSnippet> kBuilt = [] {
    std::vector<testing::BuiltSnippet> built;
    for (const LayerConfigRef& effect : kEffects) {
      built.push_back(testing::buildSnippet(*effect, CodePlatform::macOS));
      built.push_back(testing::buildSnippet(*effect, CodePlatform::iOS));
    }
    return built;
  }();
  layer = kEffects[effect % kEffects.size()];
  return kBuilt[effect % kEffects.size() * 2 + (platform == CodePlatform::macOS ? 0 : 1)];
}

struct Input {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t position = 0;

  bool empty() const { return position >= size; }
  std::uint8_t byte() { return empty() ? 0 : data[position++]; }

  // Content bytes: most become characters of number lines; the rest stay, ill-formed UTF-8 too.
  std::string content() {
    static constexpr std::string_view kBiased = "0123456789.-= \n.-0e,:)";
    std::string content;
    for (std::size_t length = byte() % 24; length > 0 && !empty(); --length) {
      const std::uint8_t next = byte();
      content += next < 176 ? kBiased[next % kBiased.size()] : static_cast<char>(next);
    }
    return content;
  }
};

// Replaces a stretch, inserts, erases, or replaces what a line holds after its last "=".
std::string edited(std::string text, Input& input) {
  const std::size_t limit = text.size() * 2 + 64;
  while (!input.empty() && text.size() < limit) {
    const std::uint8_t kind = input.byte() % 4;
    const std::size_t high = input.byte();
    const std::size_t at = high << 8 | input.byte();
    std::size_t begin = at % (text.size() + 1);
    if (kind == 0) {
      const std::size_t length = input.byte() % 8;
      text.replace(begin, length, input.content());
    }
    if (kind == 1) text.insert(begin, input.content());
    if (kind == 2) text.erase(begin, input.byte() % 32);
    if (kind != 3) continue;
    begin = 0;
    for (auto wanted = at % (std::ranges::count(text, '\n') + 1); wanted > 0; --wanted) {
      begin = text.find('\n', begin) + 1;
    }
    const std::size_t end = std::min(text.find('\n', begin), text.size());
    const std::size_t equals = text.rfind('=', end == 0 ? 0 : end - 1);
    if (equals != std::string::npos && equals >= begin && equals < end) begin = equals + 1;
    text.replace(begin, std::min(text.find('\n', begin), text.size()) - begin, input.content());
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

bool isSound(const CellConfig& cell) {
  return isSound(tessary::platform::Color{cell.colorRed, cell.colorGreen, cell.colorBlue,
                                          cell.colorAlpha}) &&
         std::ranges::all_of(PropertyTable::rows(),
                             [&](const auto& row) {
                               return !row.isCellNumber() || isSound(cell.*row.cellNumber);
                             }) &&
         std::ranges::all_of(cell.subcells, [](const auto& subcell) { return isSound(*subcell); });
}

bool isSound(const LayerConfig& layer) {
  return isSound(layer.background()) &&
         std::ranges::all_of(PropertyTable::rows(),
                             [&](const auto& row) {
                               return !row.isLayerNumber() || isSound(layer.*row.layerNumber);
                             }) &&
         std::ranges::all_of(layer.cells, [](const auto& cell) { return isSound(*cell); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input input{data, size};
  const std::uint8_t control = input.byte();
  const CodePlatform platform = (control & 1) != 0 ? CodePlatform::iOS : CodePlatform::macOS;
  LayerConfigRef layer;
  const testing::BuiltSnippet& built = subject(control >> 2, platform, layer);
  const std::string newText = edited(built.text, input);
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
