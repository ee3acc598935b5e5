#pragma once

// Shared by the edit-analysis tests: built snippets with their history records, a recorder of the
// store's changes, and a straightforward analysis that searches the whole text
// with regular expressions for every record, the reference the fast analysis is checked against.

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "tessary/code_editor/change_locator.h"
#include "tessary/code_editor/code_analysis_result.h"
#include "tessary/code_editor/code_builder.h"
#include "tessary/code_editor/code_history.h"
#include "tessary/code_editor/code_platform.h"
#include "tessary/code_editor/line_patterns.h"
#include "tessary/platform/regular_expression.h"
#include "tessary/store/config_type.h"
#include "tessary/store/data_store.h"
#include "tessary/store/layer_config.h"

namespace tessary::code_editor::testing {

using platform::Color;
using platform::RegularExpression;
using platform::StringRange;
using store::AnyKeyPath;
using store::CellProperty;
using store::ConfigType;
using store::DataStore;
using store::LayerConfig;
using store::LayerProperty;

struct BuiltSnippet {
  std::string text;
  std::vector<CodeHistory> records;
};

// The plain snippet of a build and its records.
inline BuiltSnippet buildSnippet(const LayerConfig& layer, CodePlatform platform) {
  const CodeBuilder builder(12.0, platform::DispatchQueue("tessary.test.cache"));
  BuildResult result = builder.buildMainThread(std::nullopt, layer, platform);
  return BuiltSnippet{result.text->string(), std::move(result.newHistroy)};
}

// Every change a store makes, in order.
class ChangeRecorder {
 public:
  explicit ChangeRecorder(DataStore& store) {
    store.addObserver([this](const store::StoreChange& change) { changes.push_back(change); });
  }

  // The changes in words, every number to its last digit, so that two lists compare as text.
  std::vector<std::string> described() const {
    std::vector<std::string> all;
    for (const store::StoreChange& change : changes) {
      std::ostringstream out;
      out.precision(17);
      const auto write = [&](const store::StoreValue& value) {
        if (const double* number = std::get_if<double>(&value)) {
          out << *number;
        } else {
          const Color& color = std::get<Color>(value);
          out << color.red << "/" << color.green << "/" << color.blue << "/" << color.alpha;
        }
      };
      out << change.keypath.description() << " of " << change.cellIdx.value_or(-1) << "_"
          << change.subcellIdx.value_or(-1) << " from " << static_cast<int>(change.source) << ": ";
      write(change.oldValue);
      out << " -> ";
      write(change.newValue);
      all.push_back(out.str());
    }
    return all;
  }

  std::vector<store::StoreChange> changes;
};

// The straightforward analysis ---------------------------------------------------------------

struct ReferenceLine {
  std::string text;
  std::optional<StringRange> range;  // absent when the record is never analysed
};

// The record's current line: its fixed beginning (".*=" over the record's text, without leading
// blanks and tabs) searched as literal text at the start of a line, blanks and tabs before it
// allowed, over the whole new text.
inline std::optional<ReferenceLine> referenceCurrentLine(const std::string& string,
                                                         std::string_view newString) {
  if (string.find("UIImage") != std::string::npos || string.find("NSImage") != std::string::npos ||
      string.find("CAEmitterCell()") != std::string::npos) {
    return ReferenceLine{string, std::nullopt};
  }
  const auto beginning = RegularExpression(".*=").firstMatch(string);
  if (!beginning) return ReferenceLine{string, std::nullopt};
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

// One number, searched from the start of the line over the whole rest of the text.
inline std::optional<double> referenceReadNumber(std::string_view text, StringRange line,
                                                 const RegularExpression* pattern,
                                                 CodePlatform platform, CodeAnalysisResult& outcome,
                                                 ConfigType type) {
  if (pattern == nullptr) return std::nullopt;
  const auto match = pattern->firstMatch(text, line.begin);
  if (!match || match->begin >= line.end) {
    outcome = CodeAnalysisResult::invalid;
    return std::nullopt;
  }
  std::string number(text.substr(match->begin, match->size()));
  while (std::count(number.begin(), number.end(), '.') > 1) number.erase(number.rfind('.'), 1);
  if (number.find_first_not_of("1234567890.-") != std::string::npos) {
    outcome = CodeAnalysisResult::invalid;
    return std::nullopt;
  }
  outcome = CodeAnalysisResult::pending;
  if (number.empty() || number.front() == '.' || number.back() == '.') return std::nullopt;
  char* end = nullptr;
  const double value = std::strtod(number.c_str(), &end);
  if (end != number.c_str() + number.size()) return std::nullopt;
  if (std::isinf(value)) {
    outcome = CodeAnalysisResult::invalid;
    return std::nullopt;
  }
  outcome = CodeAnalysisResult::valid;
  return value * platform.getPlatformSign(type.path());
}

// Reads every number the line of `type` shows, then writes them with the store calls a person
// would make by hand.
inline void referenceApplyEdit(DataStore& store, std::optional<int> cellIndex,
                               std::optional<int> subcellIndex, std::string_view newString,
                               StringRange line, CodePlatform platform, CodeAnalysisResult& outcome,
                               ConfigType type) {
  const AnyKeyPath keypath = type.path();
  const auto layerPattern = [](std::string_view key) -> const RegularExpression* {
    const auto found = LinePatterns::layerValuePatterns().find(key);
    return found == LinePatterns::layerValuePatterns().end() ? nullptr : &found->second;
  };
  std::vector<RegularExpression> cellPatterns;
  std::vector<const RegularExpression*> patterns;
  if (keypath == LayerProperty::background) {
    for (const char* key : {"background1", "background2", "background3", "background4"}) {
      patterns.push_back(layerPattern(key));
    }
  } else if (keypath == LayerProperty::emitterPositionX) {
    patterns = {layerPattern("emitter position X"), layerPattern("emitter position Y")};
  } else if (keypath == LayerProperty::emitterWidth) {
    patterns = {layerPattern("emitter width"), layerPattern("emitter height")};
  } else if (keypath.layerProperty() && keypath.isLimitedValueProperty()) {
    patterns = {layerPattern(type.rawValue())};
  } else if (keypath == CellProperty::color) {
    for (int component = 1; component <= 4; ++component) {
      cellPatterns.push_back(
          LinePatterns::cellValuePattern(cellIndex, subcellIndex, component, platform, type));
    }
  } else if (keypath.cellProperty() && keypath.isLimitedValueProperty()) {
    cellPatterns.push_back(
        LinePatterns::cellValuePattern(cellIndex, subcellIndex, std::nullopt, platform, type));
  }
  for (const RegularExpression& pattern : cellPatterns) patterns.push_back(&pattern);
  if (patterns.empty()) return;
  std::vector<double> numbers;
  for (const RegularExpression* pattern : patterns) {
    const auto number = referenceReadNumber(newString, line, pattern, platform, outcome, type);
    if (!number) return;
    numbers.push_back(*number);
  }

  const auto source = store::DataUpdateSource::codeEditor;
  const auto color = [&] {
    return Color{numbers[0] / 255.0, numbers[1] / 255.0, numbers[2] / 255.0, numbers[3]};
  };
  const double emitterHeight = store.layer()->emitterHeight.value;
  const bool macOS = platform == CodePlatform::macOS;
  if (keypath == LayerProperty::background) {
    store.updateLayer(keypath, color(), {}, source);
  } else if (keypath == LayerProperty::emitterPositionX) {
    store.updateLayer(keypath, numbers[0], {}, source);
    store.updateLayer(LayerProperty::emitterPositionY,
                      macOS ? emitterHeight - numbers[1] : numbers[1], {}, source);
  } else if (keypath == LayerProperty::emitterWidth) {
    store.updateLayer(keypath, numbers[0], {}, source);
    store.updateLayer(LayerProperty::emitterHeight, numbers[1], {}, source);
  } else if (keypath == LayerProperty::emitterPositionY) {
    // The sign was applied already: Y shown as s is stored as height - s, that is height + -s.
    store.updateLayer(keypath, macOS ? emitterHeight + numbers[0] : numbers[0], {}, source);
  } else if (keypath.layerProperty()) {
    store.updateLayer(keypath, numbers[0], {}, source);
  } else if (keypath == CellProperty::color) {
    store.updateCell(keypath, cellIndex.value_or(0), subcellIndex, color(), {}, source);
  } else {
    store.updateCell(keypath, cellIndex.value_or(0), subcellIndex, numbers[0], {}, source);
  }
}

inline CodeAnalysisResult referenceAnalysis(const std::vector<CodeHistory>& history,
                                            std::string_view newString, DataStore& store,
                                            CodePlatform platform, bool isPending) {
  if (history.empty()) return CodeAnalysisResult::invalid;
  CodeAnalysisResult result = CodeAnalysisResult::invalid;
  for (const CodeHistory& record : history) {
    const auto line = referenceCurrentLine(record.string(), newString);
    if (!line || line->text == record.string()) continue;
    CodeAnalysisResult outcome = CodeAnalysisResult::invalid;
    const auto type = ConfigType::fromKeyPath(record.keypath());
    if (!type) return CodeAnalysisResult::invalid;
    if (!ChangeLocator::matchesLinePatterns(newString, platform, *type)) {
      return CodeAnalysisResult::invalid;
    }
    referenceApplyEdit(store, record.cellIndex(), record.subcellIndex(), newString, *line->range,
                       platform, outcome, *type);
    if (outcome == CodeAnalysisResult::invalid) return CodeAnalysisResult::invalid;
    if (outcome == CodeAnalysisResult::pending) {
      if (!isPending) return CodeAnalysisResult::pending;
      result = CodeAnalysisResult::invalid;
    } else {
      result = CodeAnalysisResult::valid;
    }
  }
  return result;
}

}  // namespace tessary::code_editor::testing
