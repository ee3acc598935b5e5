#pragma once

// Every pattern the edit analysis searches with, named: the line and layer value patterns under
// their keys, and the value pattern of every cell number and colour component (0: the colour as a
// whole) of a cell and of a sub-cell on both platforms.

#include <string>
#include <utility>
#include <vector>

#include "tessary/code_editor/line_patterns.h"
#include "tessary/store/config_type.h"

namespace tessary::code_editor::testing {

inline std::vector<std::pair<std::string, platform::RegularExpression>> projectPatterns() {
  std::vector<std::pair<std::string, platform::RegularExpression>> all;
  for (const auto& [key, pattern] : LinePatterns::linePatterns()) {
    all.emplace_back("line " + key, pattern);
  }
  for (const auto& [key, pattern] : LinePatterns::layerValuePatterns()) {
    all.emplace_back("layer value " + key, pattern);
  }
  for (const store::ConfigType type : store::ConfigType::allCases()) {
    const bool isColor = type.path() == store::CellProperty::color;
    if (!isColor && !(type.path().cellProperty() && type.path().isLimitedValueProperty())) continue;
    for (const CodePlatform platform : {CodePlatform::macOS, CodePlatform::iOS}) {
      for (int component = 0; component <= (isColor ? 4 : 0); ++component) {
        for (const std::optional<int> subcell : {std::optional<int>(), std::optional<int>(0)}) {
          all.emplace_back(
              "cell value " + std::string(type.rawValue()) + " " +
                  std::string(platform.rawValue()) + " " + std::to_string(component),
              LinePatterns::cellValuePattern(subcell ? 2 : 0, subcell,
                                             component ? std::optional(component) : std::nullopt,
                                             platform, type));
        }
      }
    }
  }
  return all;
}

}  // namespace tessary::code_editor::testing
