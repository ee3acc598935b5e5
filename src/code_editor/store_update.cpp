#include "tessary/code_editor/store_update.h"

#include <locale.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <string>

#include "tessary/code_editor/line_patterns.h"
#include "tessary/code_editor/section_builder.h"

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

// Reads one number as `StoreUpdate::readNumber` does; `matched`, when given, receives where its
// text was found.
std::optional<double> readNumberAt(std::string_view text, StringRange line,
                                   const RegularExpression* pattern, CodePlatform platform,
                                   CodeAnalysisResult& outcome, ConfigType type,
                                   std::string_view label, LineProblem* problem,
                                   StringRange* matched = nullptr) {
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
  if (matched != nullptr) *matched = *match;
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

// A number read from an edited line: its text as typed, and its value with the platform's sign.
struct TypedNumber {
  std::string_view text;
  double value = 0.0;
};

// Reads the numbers of one line with `patterns` in order; all of them or nothing.
// `labels` are the texts before the numbers.
template <std::size_t Count>
std::optional<std::array<TypedNumber, Count>> readNumbers(
    std::string_view text, StringRange line,
    const std::array<const RegularExpression*, Count>& patterns,
    const std::array<std::string_view, Count>& labels, CodePlatform platform,
    CodeAnalysisResult& outcome, ConfigType type, LineProblem* problem) {
  std::array<TypedNumber, Count> numbers{};
  for (std::size_t i = 0; i < Count; ++i) {
    StringRange matched;
    const auto number = readNumberAt(text, line, patterns[i], platform, outcome, type, labels[i],
                                     problem, &matched);
    if (!number) return std::nullopt;
    numbers[i] = {text.substr(matched.begin, matched.size()), *number};
  }
  return numbers;
}

// A line that shows several numbers is written whole, but a number that still stands as the
// snippet shows the stored value keeps that value: the snippet rounds (140/255.0 for 0.55, one
// fraction digit for a position), and the typed text would change what nobody touched.
double keptOrTyped(const TypedNumber& typed, std::string_view shown, double stored,
                   double fromTyped) {
  return typed.text == shown ? stored : fromTyped;
}

Color colorFromSnippet(const std::array<TypedNumber, 4>& typed, const Color& stored) {
  const auto shown = SectionBuilder::colorNumbers(stored);
  return Color{keptOrTyped(typed[0], shown[0], stored.red, typed[0].value / 255.0),
               keptOrTyped(typed[1], shown[1], stored.green, typed[1].value / 255.0),
               keptOrTyped(typed[2], shown[2], stored.blue, typed[2].value / 255.0),
               keptOrTyped(typed[3], shown[3], stored.alpha, typed[3].value)};
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
    if (color) {
      writeLayer(dataStore, LayerProperty::background,
                 colorFromSnippet(*color, layer.background()));
    }
    return;
  }
  if (keypath == LayerProperty::emitterPositionX) {
    const auto position = readNumbers<2>(
        newString, line,
        {layerValuePattern("emitter position X"), layerValuePattern("emitter position Y")},
        {"x:", "y:"}, platform, outcome, type, problem);
    if (!position) return;
    const auto shown = SectionBuilder::positionNumbers(layer, platform);
    const double x =
        keptOrTyped((*position)[0], shown[0], layer.emitterPositionX.value, (*position)[0].value);
    const double y =
        keptOrTyped((*position)[1], shown[1], layer.emitterPositionY.value,
                    platform.get((*position)[1].value, LayerProperty::emitterPositionY, layer));
    writeLayer(dataStore, LayerProperty::emitterPositionX, x);
    writeLayer(dataStore, LayerProperty::emitterPositionY, y);
    return;
  }
  if (keypath == LayerProperty::emitterWidth) {
    const auto size = readNumbers<2>(
        newString, line, {layerValuePattern("emitter width"), layerValuePattern("emitter height")},
        {"width:", "height:"}, platform, outcome, type, problem);
    if (!size) return;
    const auto shown = SectionBuilder::sizeNumbers(layer);
    const double width =
        keptOrTyped((*size)[0], shown[0], layer.emitterWidth.value, (*size)[0].value);
    const double height =
        keptOrTyped((*size)[1], shown[1], layer.emitterHeight.value, (*size)[1].value);
    writeLayer(dataStore, LayerProperty::emitterWidth, width);
    writeLayer(dataStore, LayerProperty::emitterHeight, height);
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
    const store::CellConfigRef cell = layer.cell(cellIndex.value_or(0), subcellIndex);
    if (color && cell) {
      dataStore.updateCell(CellProperty::color, cellIndex.value_or(0), subcellIndex,
                           colorFromSnippet(*color, cell->color()), {},
                           DataUpdateSource::codeEditor);
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
