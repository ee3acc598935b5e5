#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace tessary::store {

// The properties of a layer that a key path can name.
enum class LayerProperty : std::uint8_t {
  viewWidth,
  viewHeight,
  backgroundRed,
  backgroundGreen,
  backgroundBlue,
  backgroundAlpha,
  background,  // the computed colour of the four components
  emitterShape,
  emitterPositionX,
  emitterPositionY,
  emitterPositionYmacOS,  // computed, read only
  emitterWidth,
  emitterHeight,
  emitterMode,
  renderMode,
  cells,
};

// The properties of an emitter cell (or sub-cell) that a key path can name.
enum class CellProperty : std::uint8_t {
  index,
  subindex,
  name,
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
  colorRed,
  colorGreen,
  colorBlue,
  colorAlpha,
  color,  // the computed colour of the four components
  redRange,
  greenRange,
  blueRange,
  contentUrl,
  contents,  // computed: the texture URL and whether it is the built-in image
  subcells,
};

// The number of properties each root has: the last enumerator is the highest.
template <typename Property>
inline constexpr std::size_t keyPathPropertyCount = 0;
template <>
inline constexpr std::size_t keyPathPropertyCount<LayerProperty> =
    static_cast<std::size_t>(LayerProperty::cells) + 1;
template <>
inline constexpr std::size_t keyPathPropertyCount<CellProperty> =
    static_cast<std::size_t>(CellProperty::subcells) + 1;

// A value that names one property of `LayerConfig` or of `CellConfig`. Two key paths are equal
// when they name the same property of the same class. The key path to the current value inside
// a `LimitedValue` property (`appendingValue()`) is a different key path from the property's own.
class AnyKeyPath {
 public:
  enum class Root : std::uint8_t { layer, cell };

  constexpr AnyKeyPath(LayerProperty property)  // NOLINT(google-explicit-constructor)
      : root_(Root::layer), property_(static_cast<std::uint8_t>(property)) {}
  constexpr AnyKeyPath(CellProperty property)  // NOLINT(google-explicit-constructor)
      : root_(Root::cell), property_(static_cast<std::uint8_t>(property)) {}

  constexpr Root root() const { return root_; }
  constexpr std::optional<LayerProperty> layerProperty() const {
    if (root_ != Root::layer) return std::nullopt;
    return static_cast<LayerProperty>(property_);
  }
  constexpr std::optional<CellProperty> cellProperty() const {
    if (root_ != Root::cell) return std::nullopt;
    return static_cast<CellProperty>(property_);
  }

  // True for a key path that goes on into the current value of a `LimitedValue` property.
  constexpr bool isLimitedValueField() const { return valueField_; }
  // The key path to the current value inside this `LimitedValue` property.
  constexpr AnyKeyPath appendingValue() const {
    AnyKeyPath path = *this;
    path.valueField_ = true;
    return path;
  }

  // The key path to the property itself, for one that goes on into its current value.
  constexpr AnyKeyPath droppingValue() const {
    AnyKeyPath path = *this;
    path.valueField_ = false;
    return path;
  }

  // True when the key path names a whole `LimitedValue` property (writable as a double).
  bool isLimitedValueProperty() const;

  // A readable name for messages and change lists: "LayerConfig.emitterPositionX",
  // "CellConfig.lifetime", "CellConfig.lifetime.value".
  std::string description() const;
  // The property's own name ("lifetime", "emitterPositionX").
  std::string propertyName() const;

  constexpr bool operator==(const AnyKeyPath&) const = default;

  std::size_t hash() const {
    return (static_cast<std::size_t>(root_) << 9) | (static_cast<std::size_t>(property_) << 1) |
           static_cast<std::size_t>(valueField_);
  }

 private:
  Root root_;
  std::uint8_t property_;
  bool valueField_ = false;
};

}  // namespace tessary::store

template <>
struct std::hash<tessary::store::AnyKeyPath> {
  std::size_t operator()(const tessary::store::AnyKeyPath& path) const noexcept {
    return path.hash();
  }
};
