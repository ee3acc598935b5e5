#include "tessary/code_editor/store_update.h"

#include <locale.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <string>

#include "tessary/code_editor/line_patterns.h"

namespace tessary::code_editor {

namespace {

using platform::Color;
using platform::RegularExpression;
using platform::StringRange;
using store::AnyKeyPath;
using store::CellProperty;
using store::ConfigType;
using store::DataStore;
using store::DataUpdateSource;
using store::LayerProperty;

// How far past the end of its line a value pattern may look: the emitter height pattern looks
// through the line feed at the start of the next line ("\nparticles"), and a line terminator takes
// at most three bytes. Searching no further keeps the cost of a read to the length of its line.
constexpr std::size_t kLookAheadPastLine = 16;

const RegularExpression* layerValuePattern(std::string_view key) {
  const LinePatterns::PatternMap& patterns = LinePatterns::layerValuePatterns();
  const auto found = patterns.find(key);
  return found == patterns.end() ? nullptr : &found->second;
}

locale_t cLocale() {
  static const locale_t kLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
  return kLocale;
}

// The text a number follows on its line: the "=" of a one-number line, the argument labels of
// the others.
constexpr std::string_view kOnlyNumber = "=";
constexpr std::array<std::string_view, 4> kColorLabels{"red:", "green:", "blue:", "alpha:"};

// What stands in a number's place on `line`: the text after `label` up to the next blank, comma,
// bracket, slash or star.
std::string_view textInPlaceOf(std::string_view text, StringRange line, std::string_view label) {
  const std::string_view lineText = text.substr(line.begin, line.size());
  std::size_t start = lineText.find(label);
  if (start == std::string_view::npos) return {};
  start = lineText.find_first_not_of(" \t", start + label.size());
  if (start == std::string_view::npos) return {};
  const std::size_t end = std::min(lineText.find_first_of(" \t,)/*", start), lineText.size());
  return lineText.substr(start, end - start);
}

void tell(LineProblem* problem, LineProblem::Reason reason, std::string_view label,
          std::string_view text = {}) {
  if (problem == nullptr) return;
  problem->reason = reason;
  problem->label = label;
  problem->text = text;
}

std::optional<double> readNumberAt(std::string_view text, StringRange line,
                                   const RegularExpression* pattern, CodePlatform platform,
                                   CodeAnalysisResult& outcome, ConfigType type,
                                   std::string_view label, LineProblem* problem) {
  using Reason = LineProblem::Reason;
  if (pattern == nullptr) return std::nullopt;
  const std::string_view searched = text.substr(0, line.end + kLookAheadPastLine);
  const auto match = pattern->firstMatch(searched, line.begin);
  if (!match || match->begin >= line.end) {
    outcome = CodeAnalysisResult::invalid;
    const std::string_view typed = textInPlaceOf(text, line, label);
    tell(problem, typed.empty() ? Reason::numberMissing : Reason::notANumber, label, typed);
    return std::nullopt;
  }
  std::string number(text.substr(match->begin, match->size()));
  while (LinePatterns::periodCount(number) > 1) number.erase(number.rfind('.'), 1);
  if (ConfigType::nonDigits.isFoundIn(number)) {
    outcome = CodeAnalysisResult::invalid;
    tell(problem, Reason::notANumber, label, text.substr(match->begin, match->size()));
    return std::nullopt;
  }
  outcome = CodeAnalysisResult::pending;
  tell(problem, Reason::stillTyping, label);
  if (number.empty() || number.front() == '.' || number.back() == '.') return std::nullopt;
  const std::optional<double> value = StoreUpdate::convertedNumber(number);
  if (!value) return std::nullopt;
  // Hundreds of digits convert to infinity, which is no number the store could hold.
  if (std::isinf(*value)) {
    outcome = CodeAnalysisResult::invalid;
    tell(problem, Reason::numberTooLarge, label);
    return std::nullopt;
  }
  outcome = CodeAnalysisResult::valid;
  return *value * platform.getPlatformSign(type.path());
}

void writeLayer(DataStore& dataStore, AnyKeyPath keypath, store::StoreValue value) {
  dataStore.updateLayer(keypath, value, {}, DataUpdateSource::codeEditor);
}

// Reads the numbers of one line with `patterns` in order; all of them or nothing.
// `labels` are the texts before the numbers.
template <std::size_t Count>
std::optional<std::array<double, Count>> readNumbers(
    std::string_view text, StringRange line,
    const std::array<const RegularExpression*, Count>& patterns,
    const std::array<std::string_view, Count>& labels, CodePlatform platform,
    CodeAnalysisResult& outcome, ConfigType type, LineProblem* problem) {
  std::array<double, Count> numbers{};
  for (std::size_t i = 0; i < Count; ++i) {
    const auto number =
        readNumberAt(text, line, patterns[i], platform, outcome, type, labels[i], problem);
    if (!number) return std::nullopt;
    numbers[i] = *number;
  }
  return numbers;
}

Color colorFromSnippet(const std::array<double, 4>& components) {
  return Color{components[0] / 255.0, components[1] / 255.0, components[2] / 255.0, components[3]};
}

}  // namespace

std::optional<double> StoreUpdate::convertedNumber(std::string_view numberText) {
  // strtod would skip white space at the start; a number text has none.
  if (numberText.empty() || std::isspace(static_cast<unsigned char>(numberText.front()))) {
    return std::nullopt;
  }
  const std::string text(numberText);
  char* end = nullptr;
  const double value = strtod_l(text.c_str(), &end, cLocale());
  if (end != text.c_str() + text.size()) return std::nullopt;
  return value;
}

std::optional<double> StoreUpdate::readNumber(std::string_view text, StringRange line,
                                              const RegularExpression* pattern,
                                              CodePlatform platform, CodeAnalysisResult& outcome,
                                              ConfigType type) {
  return readNumberAt(text, line, pattern, platform, outcome, type, kOnlyNumber, nullptr);
}

void StoreUpdate::applyEdit(DataStore& dataStore, std::optional<int> cellIndex,
                            std::optional<int> subcellIndex, std::string_view newString,
                            StringRange line, CodePlatform platform, CodeAnalysisResult& outcome,
                            ConfigType type, LineProblem* problem) {
  const AnyKeyPath keypath = type.path();
  const store::LayerConfig& layer = *dataStore.layer();

  if (keypath == LayerProperty::background) {
    const auto color =
        readNumbers<4>(newString, line,
                       {layerValuePattern("background1"), layerValuePattern("background2"),
                        layerValuePattern("background3"), layerValuePattern("background4")},
                       kColorLabels, platform, outcome, type, problem);
    if (color) writeLayer(dataStore, LayerProperty::background, colorFromSnippet(*color));
    return;
  }
  if (keypath == LayerProperty::emitterPositionX) {
    const auto position = readNumbers<2>(
        newString, line,
        {layerValuePattern("emitter position X"), layerValuePattern("emitter position Y")},
        {"x:", "y:"}, platform, outcome, type, problem);
    if (!position) return;
    writeLayer(dataStore, LayerProperty::emitterPositionX, (*position)[0]);
    writeLayer(dataStore, LayerProperty::emitterPositionY,
               platform.get((*position)[1], LayerProperty::emitterPositionY, layer));
    return;
  }
  if (keypath == LayerProperty::emitterWidth) {
    const auto size = readNumbers<2>(
        newString, line, {layerValuePattern("emitter width"), layerValuePattern("emitter height")},
        {"width:", "height:"}, platform, outcome, type, problem);
    if (!size) return;
    writeLayer(dataStore, LayerProperty::emitterWidth, (*size)[0]);
    writeLayer(dataStore, LayerProperty::emitterHeight, (*size)[1]);
    return;
  }
  if (keypath.layerProperty() && keypath.isLimitedValueProperty()) {
    auto number = readNumberAt(newString, line, layerValuePattern(type.rawValue()), platform,
                               outcome, type, kOnlyNumber, problem);
    if (!number) return;
    if (keypath == LayerProperty::emitterPositionY) {
      // Undo the sign and mirror the shown value as a whole instead.
      const double shown = *number * platform.getPlatformSign(keypath);
      number = platform.get(shown, keypath, layer);
    }
    writeLayer(dataStore, keypath, *number);
    return;
  }
  if (keypath == CellProperty::color) {
    std::array<RegularExpression, 4> components{
        LinePatterns::cellValuePattern(cellIndex, subcellIndex, 1, platform, type),
        LinePatterns::cellValuePattern(cellIndex, subcellIndex, 2, platform, type),
        LinePatterns::cellValuePattern(cellIndex, subcellIndex, 3, platform, type),
        LinePatterns::cellValuePattern(cellIndex, subcellIndex, 4, platform, type)};
    const auto color = readNumbers<4>(
        newString, line, {&components[0], &components[1], &components[2], &components[3]},
        kColorLabels, platform, outcome, type, problem);
    if (color) {
      dataStore.updateCell(CellProperty::color, cellIndex.value_or(0), subcellIndex,
                           colorFromSnippet(*color), {}, DataUpdateSource::codeEditor);
    }
    return;
  }
  if (keypath.cellProperty() && keypath.isLimitedValueProperty()) {
    const RegularExpression pattern =
        LinePatterns::cellValuePattern(cellIndex, subcellIndex, std::nullopt, platform, type);
    const auto number =
        readNumberAt(newString, line, &pattern, platform, outcome, type, kOnlyNumber, problem);
    if (number) {
      dataStore.updateCell(keypath, cellIndex.value_or(0), subcellIndex, *number, {},
                           DataUpdateSource::codeEditor);
    }
  }
}

}  // namespace tessary::code_editor
