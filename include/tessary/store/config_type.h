#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "tessary/store/key_path.h"

namespace tessary::store {

// The editable properties of an effect. Each has a raw value (a readable text the edit analysis
// keys its patterns by) and a path, the key path under which the snippet records the property's
// line. The emitter position and size lines are recorded under their X and width key paths.
class ConfigType {
 public:
  enum class Case : std::uint8_t {
    // layer
    viewWidth,
    viewHeight,
    background,
    emitterShape,
    emitterPositionX,
    emitterPositionY,
    emitterWidth,
    emitterHeight,
    emitterMode,
    renderMode,
    cells,
    // cell
    name,
    texture,
    birthRate,
    lifetime,
    lifetimeRange,
    beginTime,
    duration,
    velocity,
    velocityRange,
    xAcceleration,
    yAcceleration,
    emissionLatitude,
    emissionLongitude,
    emissionRange,
    spin,
    spinRange,
    scale,
    scaleRange,
    scaleSpeed,
    alphaRange,
    alphaSpeed,
    color,
    redRange,
    greenRange,
    blueRange,
    subcells,
  };
  static constexpr std::size_t caseCount = 37;

  constexpr ConfigType(Case value) : case_(value) {}  // NOLINT(google-explicit-constructor)

  // The type whose raw value is `rawValue`, if any.
  static std::optional<ConfigType> fromRawValue(std::string_view rawValue);
  // The type whose path equals `keypath`; none for a key path of no editable property.
  static std::optional<ConfigType> fromKeyPath(AnyKeyPath keypath);
  static const std::array<ConfigType, caseCount>& allCases();

  constexpr Case value() const { return case_; }
  std::string_view rawValue() const;
  AnyKeyPath path() const;

  constexpr bool operator==(const ConfigType&) const = default;

 private:
  Case case_;
};

}  // namespace tessary::store
