// Edits of a built snippet, analysed on either platform, pending or not: no crash, every stored
// value finite and within bounds, and nothing but `invalid` and no writes while no built line
// changed. Input: a control byte (bit 0: iOS, bit 1: pending, others: the effect), then edits.

#include <algorithm>
#include <array>
#include <cmath>

#include "fuzz_support.h"
#include "support/generated_effects.h"
#include "tessary/code_editor/change_locator.h"
#include "tessary/code_editor/code_analyzer.h"
#include "tessary/code_editor/code_builder.h"
#include "tessary/platform/dispatch_queue.h"
#include "tessary/platform/text_storage.h"
#include "tessary/store/data_store.h"
#include "tessary/store/effect_file.h"
#include "tessary/store/property_table.h"

namespace {

using namespace tessary::code_editor;
using namespace tessary::store;
using tessary::fuzzing::require;
using tessary::platform::Color;
using tessary::platform::DispatchQueue;

struct Subject {
  LayerConfigRef layer;
  std::string text;
  std::vector<CodeHistory> records;
};

// Every effect built for both platforms, once.
const Subject& subject(std::size_t effect, CodePlatform platform) {
  static const std::vector<Subject> kSubjects = [] {
    std::vector<Subject> subjects;
    const CodeBuilder builder(12.0, DispatchQueue("tessary.fuzz.cache"));
    for (const LayerConfigRef& layer :
         {EffectFile::demo(), tessary::testing::generateEffect(11, {.cells = 3, .maxSubcells = 2}),
          tessary::testing::generateEffect(
              5, {.cells = 6, .minSubcells = 1, .maxSubcells = 1, .hostileNames = false})}) {
      for (const CodePlatform side : {CodePlatform::macOS, CodePlatform::iOS}) {
        auto result = builder.buildMainThread(std::nullopt, *layer, side);
        subjects.push_back({layer, result.text->string(), std::move(result.newHistroy)});
      }
    }
    return subjects;
  }();
  return kSubjects[effect % (kSubjects.size() / 2) * 2 + (platform == CodePlatform::macOS ? 0 : 1)];
}

struct Input {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t position = 0;

  bool empty() const { return position >= size; }
  std::uint8_t byte() { return empty() ? 0 : data[position++]; }
  std::size_t twoBytes() {
    const std::size_t high = byte();
    return high << 8 | byte();
  }
};

// Content bytes: most become characters of number lines; the rest stay, ill-formed UTF-8 too.
std::string contentOf(Input& input) {
  static constexpr std::string_view kBiased = "0123456789.-= \n.-0e,:)";
  std::string content;
  for (std::size_t length = input.byte() % 24; length > 0 && !input.empty(); --length) {
    const std::uint8_t byte = input.byte();
    content += byte < 176 ? kBiased[byte % kBiased.size()] : static_cast<char>(byte);
  }
  return content;
}

// Just after the last "=" of line `lineNumber` (modulo the line count), or the line's start.
std::size_t afterEqualsOfLine(const std::string& text, std::size_t lineNumber) {
  std::size_t start = 0;
  for (auto wanted = lineNumber % (std::ranges::count(text, '\n') + 1); wanted > 0; --wanted) {
    start = text.find('\n', start) + 1;
  }
  const std::size_t end = std::min(text.find('\n', start), text.size());
  const std::size_t equals = text.rfind('=', end == 0 ? 0 : end - 1);
  return equals != std::string::npos && equals >= start && equals < end ? equals + 1 : start;
}

std::string edited(std::string text, Input& input) {
  const std::size_t limit = text.size() * 2 + 64;
  while (!input.empty() && text.size() < limit) {
    const std::uint8_t kind = input.byte() % 4;
    const std::size_t at = input.twoBytes();
    const std::size_t begin = at % (text.size() + 1);
    if (kind == 0) {  // replace a stretch
      const std::size_t length = input.byte() % 8;
      text.replace(begin, length, contentOf(input));
    } else if (kind == 1) {
      text.insert(begin, contentOf(input));
    } else if (kind == 2) {
      text.erase(begin, input.byte() % 32);
    } else {  // replace what a line holds after its "="
      const std::size_t after = afterEqualsOfLine(text, at);
      text.replace(after, std::min(text.find('\n', after), text.size()) - after, contentOf(input));
    }
  }
  return text;
}

bool isFinite(const StoreValue& value) {
  if (const double* number = std::get_if<double>(&value)) return std::isfinite(*number);
  const Color& color = std::get<Color>(value);
  return std::ranges::all_of(std::array{color.red, color.green, color.blue, color.alpha},
                             [](double part) { return part >= 0.0 && part <= 1.0; });
}

bool isSound(const LimitedValue& value) {
  return std::isfinite(value.value) && std::isfinite(value.min) && std::isfinite(value.max) &&
         value.min <= value.value && value.value <= value.max;
}

bool cellIsSound(const CellConfig& cell) {
  bool sound = isFinite(Color{cell.colorRed, cell.colorGreen, cell.colorBlue, cell.colorAlpha});
  for (const PropertyTable::Row& row : PropertyTable::rows()) {
    sound = sound && (!row.isCellNumber() || isSound(cell.*row.cellNumber));
  }
  for (const auto& subcell : cell.subcells) sound = sound && cellIsSound(*subcell);
  return sound;
}

bool layerIsSound(const LayerConfig& layer) {
  bool sound = isFinite(layer.background());
  for (const PropertyTable::Row& row : PropertyTable::rows()) {
    sound = sound && (!row.isLayerNumber() || isSound(layer.*row.layerNumber));
  }
  for (const auto& cell : layer.cells) sound = sound && cellIsSound(*cell);
  return sound;
}

// The length of the line terminator at `at` (0 for none; CR LF is one): where "." stops.
std::size_t terminatorAt(std::string_view text, std::size_t at) {
  const std::string_view rest = text.substr(at);
  if (rest.starts_with("\r\n") || rest.starts_with("\xc2\x85")) return 2;
  if (rest.starts_with("\xe2\x80\xa8") || rest.starts_with("\xe2\x80\xa9")) return 3;
  return rest[0] >= '\n' && rest[0] <= '\r' ? 1 : 0;
}

// The lines of `text`, each without the blanks and tabs it begins with.
std::vector<std::string_view> unindentedLines(std::string_view text) {
  std::vector<std::string_view> lines;
  for (std::size_t at = 0, start = 0; at <= text.size(); ++at) {
    const std::size_t terminator = at < text.size() ? terminatorAt(text, at) : 1;
    if (terminator == 0) continue;
    std::string_view line = text.substr(start, at - start);
    line.remove_prefix(std::min(line.find_first_not_of(" \t"), line.size()));
    lines.push_back(line);
    start = at + terminator;
    at = start - 1;
  }
  return lines;
}

// Whether the first line that begins with some built record's fixed beginning now differs from it.
bool anyBuiltLineChanged(const Subject& built, std::string_view newText) {
  const std::vector<std::string_view> lines = unindentedLines(newText);
  for (const CodeHistory& record : built.records) {
    const std::optional<std::string_view> beginning =
        ChangeLocator::fixedBeginning(record.string());
    const auto line = std::find_if(lines.begin(), lines.end(), [&](std::string_view candidate) {
      return beginning && candidate.starts_with(*beginning);
    });
    if (line != lines.end() && *line != record.string()) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input input{data, size};
  const std::uint8_t control = input.byte();
  const CodePlatform platform = (control & 1) != 0 ? CodePlatform::iOS : CodePlatform::macOS;
  const Subject& built = subject(control >> 2, platform);
  const std::string newText = edited(built.text, input);
  static const DispatchQueue historyQueue("tessary.fuzz.history");
  CodeAnalyzer analyzer(historyQueue);
  analyzer.setHistory(built.records);
  analyzer.isPending = (control & 2) != 0;
  DataStore store(built.layer->deepCopy());
  std::size_t writes = 0;
  store.addObserver([&writes](const StoreChange& change) {
    require(isFinite(change.newValue), "every value the store takes is finite");
    ++writes;
  });
  const CodeAnalysisResult answer =
      analyzer.analyzeString(newText, tessary::platform::TextStorage(), store, platform);

  require(layerIsSound(*store.layer()), "every stored number is finite and within its bounds");
  // Looking for a changed line takes long: only when the answer or the writes need one.
  if (answer != CodeAnalysisResult::invalid || writes > 0) {
    require(anyBuiltLineChanged(built, newText),
            "an answer other than invalid, or a write, needs a changed line");
  }
  return 0;
}
