#include "code_editor/import_value.h"

#include <array>
#include <numbers>
#include <utility>

namespace tessary::code_editor::import_value {

std::optional<double> numberOf(const ImportValue& value) {
  if (const double* number = value.as<double>()) return *number;
  if (const Constant* constant = value.as<Constant>(); constant && constant->name == "pi") {
    return std::numbers::pi;
  }
  return std::nullopt;
}

std::optional<platform::Color> colorOf(const ImportValue& value) {
  if (const platform::Color* color = value.as<platform::Color>()) return *color;
  if (const Constant* constant = value.as<Constant>()) return namedColor(constant->name);
  return std::nullopt;
}

std::optional<platform::Color> namedColor(std::string_view name) {
  static constexpr double kThird = 1.0 / 3.0;
  static constexpr std::array<std::pair<std::string_view, platform::Color>, 15> kColors{{
      {"black", {0.0, 0.0, 0.0, 1.0}},
      {"darkGray", {kThird, kThird, kThird, 1.0}},
      {"lightGray", {2 * kThird, 2 * kThird, 2 * kThird, 1.0}},
      {"white", {1.0, 1.0, 1.0, 1.0}},
      {"gray", {0.5, 0.5, 0.5, 1.0}},
      {"red", {1.0, 0.0, 0.0, 1.0}},
      {"green", {0.0, 1.0, 0.0, 1.0}},
      {"blue", {0.0, 0.0, 1.0, 1.0}},
      {"cyan", {0.0, 1.0, 1.0, 1.0}},
      {"yellow", {1.0, 1.0, 0.0, 1.0}},
      {"magenta", {1.0, 0.0, 1.0, 1.0}},
      {"orange", {1.0, 0.5, 0.0, 1.0}},
      {"purple", {0.5, 0.0, 0.5, 1.0}},
      {"brown", {0.6, 0.4, 0.2, 1.0}},
      {"clear", {0.0, 0.0, 0.0, 0.0}},
  }};
  for (const auto& [colorName, color] : kColors) {
    if (colorName == name) return color;
  }
  return std::nullopt;
}

}  // namespace tessary::code_editor::import_value
