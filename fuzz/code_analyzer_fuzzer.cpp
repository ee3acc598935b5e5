// Edits of a real snippet, analysed on either platform with `isPending` either way: the analysis
// never crashes, every value the store takes is finite, and an answer `invalid` for a text in
// which no built line changed writes nothing.
//
// Input: one control byte (bit 0: iOS, bit 1: isPending, bits 2-3: which effect), then an edit
// script. Each edit is a kind byte, a position (two bytes), a length byte and that many content
// bytes, mostly mapped onto digits, ".", "-", "=", blanks and newlines, the characters that
// matter to the number patterns.

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

using tessary::code_editor::ChangeLocator;
using tessary::code_editor::CodeAnalysisResult;
using tessary::code_editor::CodeAnalyzer;
using tessary::code_editor::CodeBuilder;
using tessary::code_editor::CodeHistory;
using tessary::code_editor::CodePlatform;
using tessary::fuzzing::require;
using tessary::platform::Color;
using tessary::platform::DispatchQueue;
using tessary::store::CellConfig;
using tessary::store::DataStore;
using tessary::store::LayerConfig;
using tessary::store::LayerConfigRef;
using tessary::store::LimitedValue;
using tessary::store::PropertyTable;
using tessary::store::StoreChange;
using tessary::store::StoreValue;

struct Subject {
  LayerConfigRef layer;
  std::string text;
  std::vector<CodeHistory> records;
};

constexpr std::size_t kEffectCount = 3;

LayerConfigRef effectNumbered(std::size_t number) {
  switch (number) {
    case 0:
      return tessary::store::EffectFile::demo();
    case 1:
      return tessary::testing::generateEffect(11, {.cells = 3, .maxSubcells = 2});
    default:
      return tessary::testing::generateEffect(
          5, {.cells = 6, .minSubcells = 1, .maxSubcells = 1, .hostileNames = false});
  }
}

// Every effect built for both platforms, once.
const Subject& subject(std::size_t effect, CodePlatform platform) {
  static const std::array<Subject, kEffectCount* 2> kSubjects = [] {
    std::array<Subject, kEffectCount * 2> subjects;
    const CodeBuilder builder(12.0, DispatchQueue("tessary.fuzz.cache"));
    for (std::size_t i = 0; i < subjects.size(); ++i) {
      Subject& made = subjects[i];
      made.layer = effectNumbered(i / 2);
      auto result = builder.buildMainThread(std::nullopt, *made.layer,
                                            i % 2 == 0 ? CodePlatform::macOS : CodePlatform::iOS);
      made.text = result.text->string();
      made.records = std::move(result.newHistroy);
    }
    return subjects;
  }();
  return kSubjects[effect * 2 + (platform == CodePlatform::macOS ? 0 : 1)];
}

class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool empty() const { return position_ >= size_; }
  std::uint8_t byte() { return empty() ? 0 : data_[position_++]; }
  std::size_t twoBytes() { return static_cast<std::size_t>(byte()) << 8 | byte(); }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 0;
};

// Content bytes: most become characters a number line is made of; the rest stay as they are, so
// letters, other punctuation and ill-formed UTF-8 come in too.
char contentByte(std::uint8_t byte) {
  static constexpr std::string_view kBiased = "0123456789.-= \n.-0e,:)";
  if (byte < 176) return kBiased[byte % kBiased.size()];
  return static_cast<char>(byte);
}

std::string contentOf(Input& input) {
  const std::size_t length = input.byte() % 24;
  std::string content;
  for (std::size_t i = 0; i < length && !input.empty(); ++i) content += contentByte(input.byte());
  return content;
}

// The byte just after the last "=" of the line `lineNumber` (counted modulo the line count), or
// the line's start when it has none.
std::size_t afterEqualsOfLine(const std::string& text, std::size_t lineNumber) {
  std::size_t lines = 1;
  for (const char c : text) lines += c == '\n' ? 1 : 0;
  std::size_t start = 0;
  for (std::size_t wanted = lineNumber % lines; wanted > 0; --wanted) {
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
    switch (kind) {
      case 0: {  // replace a stretch
        const std::size_t begin = at % (text.size() + 1);
        const std::size_t length = input.byte() % 8;
        text.replace(begin, length, contentOf(input));
        break;
      }
      case 1:  // insert
        text.insert(at % (text.size() + 1), contentOf(input));
        break;
      case 2: {  // delete
        const std::size_t begin = at % (text.size() + 1);
        text.erase(begin, input.byte() % 32);
        break;
      }
      default: {  // replace what a line holds after its "="
        const std::size_t begin = afterEqualsOfLine(text, at);
        const std::size_t end = std::min(text.find('\n', begin), text.size());
        text.replace(begin, end - begin, contentOf(input));
        break;
      }
    }
  }
  return text;
}

bool isFinite(const StoreValue& value) {
  if (const double* number = std::get_if<double>(&value)) return std::isfinite(*number);
  const Color& color = std::get<Color>(value);
  for (const double component : {color.red, color.green, color.blue, color.alpha}) {
    if (!std::isfinite(component) || component < 0.0 || component > 1.0) return false;
  }
  return true;
}

bool isSound(const LimitedValue& value) {
  return std::isfinite(value.value) && std::isfinite(value.min) && std::isfinite(value.max) &&
         value.min <= value.value && value.value <= value.max;
}

bool cellIsSound(const CellConfig& cell) {
  for (const PropertyTable::Row& row : PropertyTable::rows()) {
    if (row.isCellNumber() && !isSound(cell.*row.cellNumber)) return false;
  }
  if (!isFinite(Color{cell.colorRed, cell.colorGreen, cell.colorBlue, cell.colorAlpha})) {
    return false;
  }
  for (const auto& subcell : cell.subcells) {
    if (!cellIsSound(*subcell)) return false;
  }
  return true;
}

bool layerIsSound(const LayerConfig& layer) {
  for (const PropertyTable::Row& row : PropertyTable::rows()) {
    if (row.isLayerNumber() && !isSound(layer.*row.layerNumber)) return false;
  }
  if (!isFinite(layer.background())) return false;
  for (const auto& cell : layer.cells) {
    if (!cellIsSound(*cell)) return false;
  }
  return true;
}

// The length of the line terminator at `at` (0 for none): where a regular expression's "."
// stops. CR LF is one terminator.
std::size_t terminatorAt(std::string_view text, std::size_t at) {
  const std::string_view rest = text.substr(at);
  if (rest.starts_with("\r\n")) return 2;
  if (rest[0] >= '\n' && rest[0] <= '\r') return 1;
  if (rest.starts_with("\xc2\x85")) return 2;
  if (rest.starts_with("\xe2\x80\xa8") || rest.starts_with("\xe2\x80\xa9")) return 3;
  return 0;
}

// The lines of `text`, each without the blanks and tabs it begins with.
std::vector<std::string_view> unindentedLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t at = 0;; ++at) {
    const std::size_t terminator = at < text.size() ? terminatorAt(text, at) : 0;
    if (at < text.size() && terminator == 0) continue;
    std::string_view line = text.substr(start, at - start);
    while (!line.empty() && (line[0] == ' ' || line[0] == '\t')) line.remove_prefix(1);
    lines.push_back(line);
    if (at >= text.size()) return lines;
    start = at + terminator;
    at = start - 1;
  }
}

// Whether the line of some built record now reads differently: the first line that begins with
// the record's fixed beginning differs from the record's text.
bool anyBuiltLineChanged(const Subject& built, std::string_view newText) {
  const std::vector<std::string_view> lines = unindentedLines(newText);
  for (const CodeHistory& record : built.records) {
    const std::optional<std::string_view> beginning =
        ChangeLocator::fixedBeginning(record.string());
    if (!beginning) continue;
    for (const std::string_view line : lines) {
      if (!line.starts_with(*beginning)) continue;
      if (line != record.string()) return true;
      break;
    }
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input input(data, size);
  const std::uint8_t control = input.byte();
  const CodePlatform platform = (control & 1) != 0 ? CodePlatform::iOS : CodePlatform::macOS;
  const Subject& built = subject((control >> 2) % kEffectCount, platform);
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
  // Looking for a changed line takes long, so it is done only when the answer or the writes say
  // there must be one.
  if (answer != CodeAnalysisResult::invalid || writes > 0) {
    require(anyBuiltLineChanged(built, newText),
            "an answer other than invalid, or a write, needs a changed line");
  }
  return 0;
}
