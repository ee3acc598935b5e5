#pragma once

// Shared by the edit-analysis tests: built snippets with their history records, generated effects,
// a recorder of the store's changes, and a straightforward analysis that searches the whole text
// with regular expressions for every record, the reference the fast analysis is checked against.

#include <array>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <random>
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
#include "tessary/store/property_table.h"

namespace tessary::code_editor::testing {

using platform::Color;
using platform::RegularExpression;
using platform::StringRange;
using store::AnyKeyPath;
using store::CellConfig;
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

// A value the snippet shows exactly: a whole number of units of its last digit.
inline double shownExactly(std::mt19937_64& random, int digits, bool isSigned, int largest) {
  const double unit = std::pow(10.0, digits);
  std::uniform_int_distribution<long long> steps(
      isSigned ? -largest * static_cast<long long>(unit) : 0,
      largest * static_cast<long long>(unit));
  return static_cast<double>(steps(random)) / unit;
}

// Names that test the analysis: ones that hold other lines' text, "=", pattern characters,
// characters outside ASCII and outside the Basic Multilingual Plane.
inline const std::vector<std::string>& trickyNames() {
  static const std::vector<std::string> kNames{
      "spark",
      "x cell2.birthRate = 5",
      "cell1.birthRate = 9",
      "a=b=c",
      "(.*)[?]+{2}|^$\\",
      "firework \xF0\x9F\x8E\x86",
      "\xC3\xBC"
      "ber",
      "subcell1_1.velocity = 3",
      "particlesLayer.emitterSize = CGSize(width: 1, height: 2)",
      "red: 7/255.0, green: 8/255.0",
  };
  return kNames;
}

inline store::CellConfigRef generatedCell(std::mt19937_64& random) {
  auto cell = std::make_shared<CellConfig>();
  const auto& names = trickyNames();
  cell->name = names[std::uniform_int_distribution<std::size_t>(0, names.size() - 1)(random)];
  for (const store::PropertyTable::Row& row : store::PropertyTable::rows()) {
    if (row.isCellNumber()) {
      (cell.get()->*row.cellNumber).setValue(shownExactly(random, row.digits, row.isSigned, 300));
    }
  }
  std::uniform_int_distribution<int> component(0, 255);
  cell->colorRed = component(random) / 255.0;
  cell->colorGreen = component(random) / 255.0;
  cell->colorBlue = component(random) / 255.0;
  cell->colorAlpha = shownExactly(random, 2, false, 1);
  const int texture = std::uniform_int_distribution<int>(0, 2)(random);
  if (texture == 1) {
    cell->contentUrl = platform::URL("star.png");
    cell->contentsUrl = platform::URL("star.png");
  } else if (texture == 2) {
    cell->contentsUrl = platform::URL("None");
  }
  return cell;
}

// An effect of `cells` cells with up to `maximumSubcells` sub-cells each, every value one the
// snippet shows exactly; the emitter position and size are whole numbers, so that the macOS
// mirror of the position's Y is exact too.
inline store::LayerConfigRef generatedEffect(std::mt19937_64& random, int cells,
                                             int maximumSubcells) {
  auto layer = std::make_shared<LayerConfig>();
  std::uniform_int_distribution<int> component(0, 255);
  layer->backgroundRed = component(random) / 255.0;
  layer->backgroundGreen = component(random) / 255.0;
  layer->backgroundBlue = component(random) / 255.0;
  layer->backgroundAlpha = shownExactly(random, 2, false, 1);
  std::uniform_int_distribution<int> coordinate(-50, 400);
  std::uniform_int_distribution<int> extent(0, 400);
  layer->emitterPositionX.setValue(coordinate(random));
  layer->emitterPositionY.setValue(coordinate(random));
  layer->emitterWidth.setValue(extent(random));
  layer->emitterHeight.setValue(extent(random));
  std::uniform_int_distribution<int> subcellCount(0, maximumSubcells);
  for (int i = 0; i < cells; ++i) {
    auto cell = generatedCell(random);
    const int subcells = subcellCount(random);
    for (int j = 0; j < subcells; ++j) cell->subcells.push_back(generatedCell(random));
    layer->cells.push_back(cell);
  }
  DataStore::renumberCells(*layer);
  return layer;
}

// Every change a store makes, in order.
class ChangeRecorder {
 public:
  explicit ChangeRecorder(DataStore& store) {
    store.addObserver([this](const store::StoreChange& change) { changes.push_back(change); });
  }
  std::vector<store::StoreChange> changes;
};

inline bool sameChange(const store::StoreChange& lhs, const store::StoreChange& rhs) {
  return lhs.keypath == rhs.keypath && lhs.cellIdx == rhs.cellIdx &&
         lhs.subcellIdx == rhs.subcellIdx && lhs.oldValue == rhs.oldValue &&
         lhs.newValue == rhs.newValue && lhs.source == rhs.source;
}

inline std::string describe(const store::StoreChange& change) {
  const auto text = [](const store::StoreValue& value) {
    if (const double* number = std::get_if<double>(&value)) return std::to_string(*number);
    const Color& color = std::get<Color>(value);
    return "(" + std::to_string(color.red) + ", " + std::to_string(color.green) + ", " +
           std::to_string(color.blue) + ", " + std::to_string(color.alpha) + ")";
  };
  return change.keypath.description() + " cell " +
         (change.cellIdx ? std::to_string(*change.cellIdx) : "-") + "/" +
         (change.subcellIdx ? std::to_string(*change.subcellIdx) : "-") + ": " +
         text(change.oldValue) + " -> " + text(change.newValue);
}

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

inline const RegularExpression* referenceLayerPattern(std::string_view key) {
  const auto& patterns = LinePatterns::layerValuePatterns();
  const auto found = patterns.find(key);
  return found == patterns.end() ? nullptr : &found->second;
}

inline void referenceApplyEdit(DataStore& store, std::optional<int> cellIndex,
                               std::optional<int> subcellIndex, std::string_view newString,
                               StringRange line, CodePlatform platform, CodeAnalysisResult& outcome,
                               ConfigType type) {
  const AnyKeyPath keypath = type.path();
  const auto source = store::DataUpdateSource::codeEditor;
  const auto read = [&](const RegularExpression* pattern) {
    return referenceReadNumber(newString, line, pattern, platform, outcome, type);
  };
  if (keypath == LayerProperty::background) {
    const auto red = read(referenceLayerPattern("background1"));
    if (!red) return;
    const auto green = read(referenceLayerPattern("background2"));
    if (!green) return;
    const auto blue = read(referenceLayerPattern("background3"));
    if (!blue) return;
    const auto alpha = read(referenceLayerPattern("background4"));
    if (!alpha) return;
    store.updateLayer(LayerProperty::background,
                      Color{*red / 255.0, *green / 255.0, *blue / 255.0, *alpha}, {}, source);
  } else if (keypath == LayerProperty::emitterPositionX) {
    const auto x = read(referenceLayerPattern("emitter position X"));
    if (!x) return;
    const auto y = read(referenceLayerPattern("emitter position Y"));
    if (!y) return;
    store.updateLayer(LayerProperty::emitterPositionX, *x, {}, source);
    const double height = store.layer()->emitterHeight.value;
    store.updateLayer(LayerProperty::emitterPositionY,
                      platform == CodePlatform::macOS ? height - *y : *y, {}, source);
  } else if (keypath == LayerProperty::emitterWidth) {
    const auto width = read(referenceLayerPattern("emitter width"));
    if (!width) return;
    const auto height = read(referenceLayerPattern("emitter height"));
    if (!height) return;
    store.updateLayer(LayerProperty::emitterWidth, *width, {}, source);
    store.updateLayer(LayerProperty::emitterHeight, *height, {}, source);
  } else if (keypath.layerProperty() && keypath.isLimitedValueProperty()) {
    auto number = read(referenceLayerPattern(type.rawValue()));
    if (!number) return;
    if (keypath == LayerProperty::emitterPositionY && platform == CodePlatform::macOS) {
      number = store.layer()->emitterHeight.value + *number;
    }
    store.updateLayer(keypath, *number, {}, source);
  } else if (keypath == CellProperty::color) {
    std::array<double, 4> components{};
    for (int component = 1; component <= 4; ++component) {
      const RegularExpression pattern =
          LinePatterns::cellValuePattern(cellIndex, subcellIndex, component, platform, type);
      const auto number = read(&pattern);
      if (!number) return;
      components[component - 1] = *number;
    }
    store.updateCell(
        CellProperty::color, cellIndex.value_or(0), subcellIndex,
        Color{components[0] / 255.0, components[1] / 255.0, components[2] / 255.0, components[3]},
        {}, source);
  } else if (keypath.cellProperty() && keypath.isLimitedValueProperty()) {
    const RegularExpression pattern =
        LinePatterns::cellValuePattern(cellIndex, subcellIndex, std::nullopt, platform, type);
    const auto number = read(&pattern);
    if (number) store.updateCell(keypath, cellIndex.value_or(0), subcellIndex, *number, {}, source);
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
