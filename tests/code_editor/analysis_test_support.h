#pragma once

// Shared by the edit-analysis tests: built snippets with their history records, a recorder of the
// store's changes, and a straightforward analysis that searches the whole text with regular
// expressions for every record, the reference the fast analysis is checked against.

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/generated_effects.h"
#include "tessary/code_editor/change_locator.h"
#include "tessary/code_editor/code_analysis_result.h"
#include "tessary/code_editor/code_analyzer.h"
#include "tessary/code_editor/code_builder.h"
#include "tessary/code_editor/line_patterns.h"
#include "tessary/platform/text_storage.h"
#include "tessary/store/data_store.h"

namespace tessary::code_editor::testing {

using platform::RegularExpression;
using platform::StringRange;
using store::CellProperty;
using store::LayerProperty;

struct BuiltSnippet {
  std::string text;
  std::vector<CodeHistory> records;
};

inline BuiltSnippet buildSnippet(const store::LayerConfig& layer, CodePlatform platform) {
  const CodeBuilder builder(12.0, platform::DispatchQueue("tessary.test.cache"));
  BuildResult result = builder.buildMainThread(std::nullopt, layer, platform);
  return BuiltSnippet{result.text->string(), std::move(result.newHistroy)};
}

// The effect some edits earlier: now and then one number of a cell or all of them drawn anew, a
// cell named with another "=" in its name, or the last cell not made yet.
inline store::LayerConfigRef earlierEffect(const store::LayerConfig& layer, std::uint32_t seed) {
  std::mt19937 random(seed);
  const store::LayerConfigRef earlier = layer.deepCopy();
  if (random() % 8 == 0 && !earlier->cells.empty()) earlier->cells.pop_back();
  const auto edit = [&](store::CellConfig& cell) {
    const std::uint32_t kind = random() % 16;
    if (kind == 0) cell.name += " = 1";
    for (const store::PropertyTable::Row& row : store::PropertyTable::rows()) {
      if (row.isCellNumber() && (kind == 1 || (kind < 6 && random() % 8 == 0))) {
        tessary::testing::randomize(cell.*row.cellNumber, random);
      }
    }
  };
  for (const store::CellConfigRef& cell : earlier->cells) {
    edit(*cell);
    for (const store::CellConfigRef& subcell : cell->subcells) edit(*subcell);
  }
  return earlier;
}

// Analyses with an analyzer that, as a host's, had the records of the effect some edits earlier
// before those of `built`.
inline CodeAnalysisResult analyze(const BuiltSnippet& built, std::string_view text,
                                  store::DataStore& store, CodePlatform platform,
                                  bool isPending = false) {
  CodeAnalyzer analyzer(platform::DispatchQueue("tessary.test.history"));
  const auto seed = static_cast<std::uint32_t>(text.size());
  analyzer.setHistory(buildSnippet(*earlierEffect(*store.layer(), seed), platform).records);
  analyzer.setHistory(built.records);
  analyzer.isPending = isPending;
  return analyzer.analyzeString(text, platform::TextStorage(), store, platform);
}

// Every change a store makes, in order.
class ChangeRecorder {
 public:
  explicit ChangeRecorder(store::DataStore& store) {
    store.addObserver([this](const store::StoreChange& change) { changes.push_back(change); });
  }

  // Each change in brief, "birthRate[0,1]=1.5" (a colour as red/green/blue/alpha, "kept" for a
  // component that kept its stored value bit for bit), its numbers to `digits` significant digits.
  std::vector<std::string> described(int digits = 17) const {
    std::vector<std::string> all;
    for (const store::StoreChange& change : changes) {
      std::ostringstream out;
      out.precision(digits);
      const std::string name = change.keypath.description();
      out << name.substr(name.find('.') + 1);
      if (change.cellIdx) out << "[" << *change.cellIdx;
      if (change.subcellIdx) out << "," << *change.subcellIdx;
      out << (change.cellIdx ? "]=" : "=");
      if (const double* number = std::get_if<double>(&change.newValue)) {
        out << *number;
      } else {
        const platform::Color& color = std::get<platform::Color>(change.newValue);
        const platform::Color& old = std::get<platform::Color>(change.oldValue);
        const auto component = [&](double before, double after) -> std::ostream& {
          const bool kept =
              std::bit_cast<std::uint64_t>(before) == std::bit_cast<std::uint64_t>(after);
          return kept ? out << "kept" : out << after;
        };
        component(old.red, color.red) << "/";
        component(old.green, color.green) << "/";
        component(old.blue, color.blue) << "/";
        component(old.alpha, color.alpha);
      }
      all.push_back(out.str());
    }
    return all;
  }

  std::vector<store::StoreChange> changes;
};

struct ReferenceLine {
  std::string text;
  std::optional<StringRange> range;  // absent when the record is never analysed
};

// The record's current line: its fixed beginning (".*=" over the record's text, without leading
// blanks and tabs) searched as literal text at the start of a line, blanks and tabs before it
// allowed, over the whole new text.
inline std::optional<ReferenceLine> referenceCurrentLine(std::string_view record,
                                                         std::string_view newString) {
  const std::string string(record);
  const auto beginning = RegularExpression(".*=").firstMatch(string);
  if (!beginning || string.find("UIImage") != std::string::npos ||
      string.find("NSImage") != std::string::npos ||
      string.find("CAEmitterCell()") != std::string::npos) {
    return ReferenceLine{string, std::nullopt};
  }
  std::string fixed = string.substr(beginning->begin, beginning->size());
  fixed.erase(0, fixed.find_first_not_of(" \t"));
  const RegularExpression search("(?m)^[ \\t]*" + RegularExpression::escapedPattern(fixed) + ".*");
  const auto found = search.firstMatch(newString);
  if (!found) return std::nullopt;
  std::size_t begin = found->begin;
  while (newString[begin] == ' ' || newString[begin] == '\t') ++begin;
  return ReferenceLine{std::string(newString.substr(begin, found->end - begin)),
                       StringRange{begin, found->end}};
}

// Reads every number the line of `type` shows, then writes them with the store calls a person
// would make by hand.
inline void referenceApplyEdit(store::DataStore& store, const CodeHistory& record,
                               std::string_view newString, StringRange line, CodePlatform platform,
                               CodeAnalysisResult& outcome, store::ConfigType type) {
  const store::AnyKeyPath keypath = type.path();
  std::vector<std::string> layerKeys;
  if (keypath == LayerProperty::background) {
    layerKeys = {"background1", "background2", "background3", "background4"};
  } else if (keypath == LayerProperty::emitterPositionX) {
    layerKeys = {"emitter position X", "emitter position Y"};
  } else if (keypath == LayerProperty::emitterWidth) {
    layerKeys = {"emitter width", "emitter height"};
  } else if (keypath.layerProperty() && keypath.isLimitedValueProperty()) {
    layerKeys = {std::string(type.rawValue())};
  }
  std::vector<RegularExpression> patterns;
  for (const std::string& key : layerKeys) {
    const auto found = LinePatterns::layerValuePatterns().find(key);
    if (found == LinePatterns::layerValuePatterns().end()) return;
    patterns.push_back(found->second);
  }
  const auto cellPattern = [&](std::optional<int> component) {
    return LinePatterns::cellValuePattern(record.cellIndex(), record.subcellIndex(), component,
                                          platform, type);
  };
  if (keypath == CellProperty::color) {
    for (int component = 1; component <= 4; ++component) patterns.push_back(cellPattern(component));
  } else if (keypath.cellProperty() && keypath.isLimitedValueProperty()) {
    patterns.push_back(cellPattern(std::nullopt));
  }
  // Each number searched from the start of the line over the whole rest of the text.
  std::vector<double> numbers;
  std::vector<std::string> texts;
  for (const RegularExpression& pattern : patterns) {
    outcome = CodeAnalysisResult::invalid;
    const auto match = pattern.firstMatch(newString, line.begin);
    if (!match || match->begin >= line.end) return;
    texts.emplace_back(newString.substr(match->begin, match->size()));
    std::string number = texts.back();
    while (std::ranges::count(number, '.') > 1) number.erase(number.rfind('.'), 1);
    if (number.find_first_not_of("1234567890.-") != std::string::npos) return;
    outcome = CodeAnalysisResult::pending;
    if (number.empty() || number.front() == '.' || number.back() == '.') return;
    char* end = nullptr;
    const double value = std::strtod(number.c_str(), &end);
    if (end != number.c_str() + number.size()) return;
    outcome = std::isinf(value) ? CodeAnalysisResult::invalid : CodeAnalysisResult::valid;
    if (std::isinf(value)) return;
    numbers.push_back(value * platform.getPlatformSign(keypath));
  }
  if (numbers.empty()) return;

  const store::LayerConfig& layer = *store.layer();
  const bool macOS = platform == CodePlatform::macOS;
  // The sign was applied already: macOS shows Y as view height - Y.
  if (keypath == LayerProperty::emitterPositionY && macOS) numbers[0] += layer.viewHeight.value;
  if (keypath == LayerProperty::emitterPositionX && macOS) {
    numbers[1] = layer.viewHeight.value - numbers[1];
  }
  std::vector<double> stored;
  if (numbers.size() == 4) {
    for (std::size_t i = 0; i < 3; ++i) numbers[i] /= 255.0;
    const auto cell = layer.cell(record.cellIndex().value_or(0), record.subcellIndex());
    const platform::Color color =
        keypath == CellProperty::color && cell ? cell->color() : layer.background();
    stored = {color.red, color.green, color.blue, color.alpha};
  } else if (numbers.size() == 2) {
    const bool position = keypath == LayerProperty::emitterPositionX;
    stored = {(position ? layer.emitterPositionX : layer.emitterWidth).value,
              (position ? layer.emitterPositionY : layer.emitterHeight).value};
  }
  // Of a line with several numbers, one whose text the snippet built from the store now shows
  // at its place keeps the stored value.
  if (!stored.empty()) {
    const std::string shown = buildSnippet(layer, platform).text;
    const std::size_t shownLine = referenceCurrentLine(record.string(), shown)->range->begin;
    for (std::size_t i = 0; i < numbers.size(); ++i) {
      const auto match = patterns[i].firstMatch(shown, shownLine);
      if (match && shown.substr(match->begin, match->size()) == texts[i]) numbers[i] = stored[i];
    }
  }

  const auto source = store::DataUpdateSource::codeEditor;
  store::StoreValue value = numbers[0];
  if (numbers.size() == 4) value = platform::Color{numbers[0], numbers[1], numbers[2], numbers[3]};
  if (keypath.cellProperty()) {
    store.updateCell(keypath, record.cellIndex().value_or(0), record.subcellIndex(), value, {},
                     source);
    return;
  }
  store.updateLayer(keypath, value, {}, source);
  if (keypath == LayerProperty::emitterPositionX) {
    store.updateLayer(LayerProperty::emitterPositionY, numbers[1], {}, source);
  } else if (keypath == LayerProperty::emitterWidth) {
    store.updateLayer(LayerProperty::emitterHeight, numbers[1], {}, source);
  }
}

inline CodeAnalysisResult referenceAnalysis(const std::vector<CodeHistory>& history,
                                            std::string_view newString, store::DataStore& store,
                                            CodePlatform platform, bool isPending) {
  CodeAnalysisResult result = CodeAnalysisResult::invalid;
  for (const CodeHistory& record : history) {
    const auto line = referenceCurrentLine(record.string(), newString);
    if (!line || line->text == record.string()) continue;
    CodeAnalysisResult outcome = CodeAnalysisResult::invalid;
    const auto type = store::ConfigType::fromKeyPath(record.keypath());
    if (!type || !ChangeLocator::matchesLinePatterns(newString, platform, *type)) return outcome;
    referenceApplyEdit(store, record, newString, *line->range, platform, outcome, *type);
    if (outcome == CodeAnalysisResult::invalid) return outcome;
    if (outcome == CodeAnalysisResult::pending && !isPending) return outcome;
    result = outcome == CodeAnalysisResult::pending ? CodeAnalysisResult::invalid : outcome;
  }
  return result;
}

}  // namespace tessary::code_editor::testing
