#include "tessary/code_editor/change_locator.h"

#include "tessary/code_editor/line_patterns.h"
#include "text_lines.h"

namespace tessary::code_editor {

namespace {

using store::ConfigType;

bool isNeverAnalysed(std::string_view string) {
  return string.find("UIImage") != std::string_view::npos ||
         string.find("NSImage") != std::string_view::npos ||
         string.find("CAEmitterCell()") != std::string_view::npos;
}

}  // namespace

std::optional<std::string_view> ChangeLocator::fixedBeginning(std::string_view string) {
  if (isNeverAnalysed(string)) return std::nullopt;
  std::size_t lineStart = 0;
  while (lineStart <= string.size()) {
    const std::size_t end = TextLines::lineEnd(string, lineStart);
    const std::string_view line = string.substr(lineStart, end - lineStart);
    const std::size_t lastEquals = line.rfind('=');
    if (lastEquals != std::string_view::npos) {
      const std::size_t start = TextLines::indentationEnd(line, 0, lastEquals);
      return line.substr(start, lastEquals + 1 - start);
    }
    if (end == string.size()) break;
    lineStart = end + TextLines::terminatorLength(string, end);
  }
  return std::nullopt;
}

std::optional<platform::StringRange> ChangeLocator::findLine(std::string_view fixedBeginning,
                                                             std::string_view newString) {
  std::size_t lineStart = 0;
  while (true) {
    const std::size_t end = TextLines::lineEnd(newString, lineStart);
    const std::size_t start = TextLines::indentationEnd(newString, lineStart, end);
    if (newString.substr(start, end - start).starts_with(fixedBeginning)) {
      return platform::StringRange{start, end};
    }
    if (end == newString.size()) return std::nullopt;
    lineStart = end + TextLines::terminatorLength(newString, end);
  }
}

std::optional<std::string> ChangeLocator::currentLine(std::string_view string,
                                                      std::string_view newString) {
  const std::optional<std::string_view> beginning = fixedBeginning(string);
  if (!beginning) return std::string(string);
  const std::optional<platform::StringRange> line = findLine(*beginning, newString);
  if (!line) return std::nullopt;
  return std::string(newString.substr(line->begin, line->size()));
}

std::vector<std::string> ChangeLocator::linePatternKeys(ConfigType type, CodePlatform platform) {
  const std::string rawValue(type.rawValue());
  if (type.row().kind == store::PropertyTable::Kind::color) {
    return {rawValue + "1" + std::string(platform.rawValue()), rawValue + "2", rawValue + "3",
            rawValue + "4", rawValue + "5"};
  }
  if (type.path() == store::LayerProperty::emitterPositionX) {
    return {"emitter position X", "emitter position Y"};
  }
  if (type.path() == store::LayerProperty::emitterWidth) {
    return {"emitter width", "emitter height"};
  }
  return {rawValue};
}

bool ChangeLocator::matchesLinePatterns(std::string_view newString, CodePlatform platform,
                                        ConfigType type) {
  const LinePatterns::PatternMap& patterns = LinePatterns::linePatterns();
  for (const std::string& key : linePatternKeys(type, platform)) {
    const auto pattern = patterns.find(key);
    if (pattern == patterns.end() || !pattern->second.didMatch(newString)) return false;
  }
  return true;
}

}  // namespace tessary::code_editor
