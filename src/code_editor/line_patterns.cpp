#include "tessary/code_editor/line_patterns.h"

#include <algorithm>
#include <array>
#include <utility>

#include "tessary/platform/fatal_error.h"

namespace tessary::code_editor {

namespace {

using platform::RegularExpression;
using store::ConfigType;

using PatternText = std::pair<std::string_view, std::string_view>;

LinePatterns::PatternMap compiled(const auto& texts) {
  LinePatterns::PatternMap patterns;
  for (const auto& [key, pattern] : texts) patterns.emplace(key, RegularExpression(pattern));
  return patterns;
}

constexpr std::string_view kGreenValue = R"re((?<=green: )[\d.]+(?=\/255\.0))re";
constexpr std::string_view kBlueValue = R"re((?<=blue: )[\d.]+(?=\/255\.0))re";
constexpr std::string_view kAlphaValue = R"re((?<=alpha: )[\d.]+(?=\)\.cgColor))re";

}  // namespace

const LinePatterns::PatternMap& LinePatterns::linePatterns() {
  static const PatternMap kPatterns = [] {
    PatternMap patterns = compiled(std::to_array<PatternText>({
        {"background1macOS", R"re(particlesLayer\.backgroundColor = NSColor\(red:)re"},
        {"background1iOS", R"re(particlesLayer\.backgroundColor = UIColor\(red:)re"},
        {"background2", ", green:"},
        {"background3", ", blue:"},
        {"background4", ", alpha:"},
        {"background5", R"re(\)\.cgColor)re"},
        {"emitter position X", R"re(particlesLayer\.emitterPosition = CGPoint\(x:)re"},
        {"emitter position Y", ", y:"},
        {"emitter width", R"re(particlesLayer\.emitterSize = CGSize\(width:)re"},
        {"emitter height", ", height:"},
        {"color1macOS", R"re((sub)?cell[\d_]+\.color = NSColor\(red:)re"},
        {"color1iOS", R"re((sub)?cell[\d_]+\.color = UIColor\(red:)re"},
        {"color2", ", green:"},
        {"color3", ", blue:"},
        {"color4", ", alpha:"},
        {"color5", R"re(\)\.cgColor)re"},
    }));
    for (const auto& row : store::PropertyTable::rows()) {
      if (!row.isCellNumber()) continue;
      std::string pattern = R"re((sub)?cell[\d_]+\.)re";
      pattern += row.swiftName;
      pattern += " =";
      patterns.emplace(row.typeName, RegularExpression(pattern));
    }
    return patterns;
  }();
  return kPatterns;
}

const LinePatterns::PatternMap& LinePatterns::layerValuePatterns() {
  static const PatternMap kPatterns = compiled(std::to_array<PatternText>({
      {"background1", R"re((?<=red: )[\d.]+(?=\/255\.0))re"},
      {"background2", kGreenValue},
      {"background3", kBlueValue},
      {"background4", kAlphaValue},
      {"emitter position X", R"re((?<=CGPoint\(x: )-?[\d.]+(?=, y:))re"},
      {"emitter position Y", R"re((?<=y: )-?[\d.]+(?=\)))re"},
      {"emitter width", R"re((?<=emitterSize = CGSize\(width: )[\d.]+(?=, height))re"},
      // The size line must end the line and the emitter mode line follow it: the backslash makes
      // the line feed after it stand for itself.
      {"emitter height", "(?<=height: )[\\d.]+(?=\\)\\\nparticles)"},
  }));
  return kPatterns;
}

RegularExpression LinePatterns::cellValuePattern(std::optional<int> cellIndex,
                                                 std::optional<int> subcellIndex,
                                                 std::optional<int> component,
                                                 CodePlatform platform, ConfigType type) {
  const store::PropertyTable::Row& row = type.row();
  const bool isColor = type.path() == store::CellProperty::color;
  if (!row.isCellNumber() && !isColor) platform::fatalError("Invalid regex request");

  if (isColor && component != 1) {
    if (component == 2) return RegularExpression(kGreenValue);
    if (component == 3) return RegularExpression(kBlueValue);
    return RegularExpression(kAlphaValue);
  }

  std::string pattern = subcellIndex ? "(?<=subcell" : "(?<=cell";
  pattern += std::to_string(static_cast<long long>(cellIndex.value_or(0)) + 1);
  if (subcellIndex) {
    pattern += '_';
    pattern += std::to_string(static_cast<long long>(*subcellIndex) + 1);
  }
  pattern += "\\.";
  if (isColor) {
    pattern += "color = ";
    pattern += platform == CodePlatform::macOS ? "NSColor" : "UIColor";
    pattern += R"re(\(red: )[\d.]+(?=\/255\.0))re";
  } else {
    pattern += row.swiftName;
    pattern += row.isSigned ? R"re( = )-?[\d.]+)re" : R"re( = )[\d.]+)re";
  }
  return RegularExpression(pattern);
}

std::size_t LinePatterns::periodCount(std::string_view text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '.'));
}

}  // namespace tessary::code_editor
