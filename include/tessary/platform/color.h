#pragma once

namespace tessary::platform {

// An RGBA colour with components as doubles from 0 to 1; stands in for both the text system's
// colour and the graphics layer's colour.
struct Color {
  double red = 0.0;
  double green = 0.0;
  double blue = 0.0;
  double alpha = 1.0;

  static constexpr Color colorWithRed(double red, double green, double blue, double alpha) {
    return Color{red, green, blue, alpha};
  }
  static constexpr Color colorWithWhite(double white, double alpha) {
    return Color{white, white, white, alpha};
  }
  static constexpr Color whiteColor() { return Color{1.0, 1.0, 1.0, 1.0}; }
  static constexpr Color greenColor() { return Color{0.0, 1.0, 0.0, 1.0}; }

  bool operator==(const Color&) const = default;
};

}  // namespace tessary::platform
