#include "tessary/code_editor/line_patterns.h"

#include <algorithm>
#include <array>
#include <utility>

#include "tessary/platform/fatal_error.h"

namespace tessary::code_editor {

namespace {

using platform::RegularExpression;
using store::ConfigType;
using Case = ConfigType::Case;

using PatternText = std::pair<std::string_view, std::string_view>;

LinePatterns::PatternMap compiled(const auto& texts) {
  LinePatterns::PatternMap patterns;
  for (const auto& [key, pattern] : texts) patterns.emplace(key, RegularExpression(pattern));
  return patterns;
}

// How a cell line's number is written after "<name>.": the property's name and whether the
// number may carry a leading minus sign.
struct CellNumberForm {
  Case type;
  std::string_view property;
  bool isSigned;
};

constexpr std::array<CellNumberForm, 22> kCellNumberForms{{
    {Case::birthRate, "birthRate", false},
    {Case::lifetime, "lifetime", false},
    {Case::lifetimeRange, "lifetimeRange", false},
    {Case::beginTime, "beginTime", false},
    {Case::duration, "duration", false},
    {Case::velocity, "velocity", true},
    {Case::velocityRange, "velocityRange", true},
    {Case::emissionLatitude, "emissionLatitude", true},
    {Case::emissionLongitude, "emissionLongitude", true},
    {Case::emissionRange, "emissionRange", false},
    {Case::spin, "spin", true},
    {Case::spinRange, "spinRange", false},
    {Case::scale, "scale", false},
    {Case::scaleRange, "scaleRange", false},
    {Case::scaleSpeed, "scaleSpeed", true},
    {Case::xAcceleration, "xAcceleration", true},
    {Case::yAcceleration, "yAcceleration", true},
    {Case::alphaRange, "alphaRange", false},
    {Case::alphaSpeed, "alphaSpeed", true},
    {Case::redRange, "redRange", false},
    {Case::greenRange, "greenRange", false},
    {Case::blueRange, "blueRange", false},
}};

constexpr std::string_view kGreenValue = R"re((?<=green: )[\d.]+(?=\/255\.0))re";
constexpr std::string_view kBlueValue = R"re((?<=blue: )[\d.]+(?=\/255\.0))re";
constexpr std::string_view kAlphaValue = R"re((?<=alpha: )[\d.]+(?=\)\.cgColor))re";

}  // namespace

const LinePatterns::PatternMap& LinePatterns::linePatterns() {
  static const PatternMap kPatterns = compiled(std::array<PatternText, 38>{{
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
      {"birth rate", R"re((sub)?cell[\d_]+\.birthRate =)re"},
      {"lifetime", R"re((sub)?cell[\d_]+\.lifetime =)re"},
      {"lifetime range", R"re((sub)?cell[\d_]+\.lifetimeRange =)re"},
      {"begin time", R"re((sub)?cell[\d_]+\.beginTime =)re"},
      {"duration", R"re((sub)?cell[\d_]+\.duration =)re"},
      {"velocity", R"re((sub)?cell[\d_]+\.velocity =)re"},
      {"velocity range", R"re((sub)?cell[\d_]+\.velocityRange =)re"},
      {"X acceleration", R"re((sub)?cell[\d_]+\.xAcceleration =)re"},
      {"Y acceleration", R"re((sub)?cell[\d_]+\.yAcceleration =)re"},
      {"emission longitude", R"re((sub)?cell[\d_]+\.emissionLongitude =)re"},
      {"emission latitude", R"re((sub)?cell[\d_]+\.emissionLatitude =)re"},
      {"emission range", R"re((sub)?cell[\d_]+\.emissionRange =)re"},
      {"spin", R"re((sub)?cell[\d_]+\.spin =)re"},
      {"spin range", R"re((sub)?cell[\d_]+\.spinRange =)re"},
      {"scale", R"re((sub)?cell[\d_]+\.scale =)re"},
      {"scale range", R"re((sub)?cell[\d_]+\.scaleRange =)re"},
      {"scale speed", R"re((sub)?cell[\d_]+\.scaleSpeed =)re"},
      {"alpha range", R"re((sub)?cell[\d_]+\.alphaRange =)re"},
      {"alpha speed", R"re((sub)?cell[\d_]+\.alphaSpeed =)re"},
      {"color1macOS", R"re((sub)?cell[\d_]+\.color = NSColor\(red:)re"},
      {"color1iOS", R"re((sub)?cell[\d_]+\.color = UIColor\(red:)re"},
      {"color2", ", green:"},
      {"color3", ", blue:"},
      {"color4", ", alpha:"},
      {"color5", R"re(\)\.cgColor)re"},
      {"red range", R"re((sub)?cell[\d_]+\.redRange =)re"},
      {"green range", R"re((sub)?cell[\d_]+\.greenRange =)re"},
      {"blue range", R"re((sub)?cell[\d_]+\.blueRange =)re"},
  }});
  return kPatterns;
}

const LinePatterns::PatternMap& LinePatterns::layerValuePatterns() {
  static const PatternMap kPatterns = compiled(std::array<PatternText, 8>{{
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
  }});
  return kPatterns;
}

RegularExpression LinePatterns::cellValuePattern(std::optional<int> cellIndex,
                                                 std::optional<int> subcellIndex,
                                                 std::optional<int> component,
                                                 CodePlatform platform, ConfigType type) {
  const auto form =
      std::find_if(kCellNumberForms.begin(), kCellNumberForms.end(),
                   [&](const CellNumberForm& candidate) { return candidate.type == type.value(); });
  const bool isColor = type.value() == Case::color;
  if (form == kCellNumberForms.end() && !isColor) platform::fatalError("Invalid regex request");

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
    pattern += form->property;
    pattern += form->isSigned ? R"re( = )-?[\d.]+)re" : R"re( = )[\d.]+)re";
  }
  return RegularExpression(pattern);
}

std::size_t LinePatterns::periodCount(std::string_view text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '.'));
}

}  // namespace tessary::code_editor
