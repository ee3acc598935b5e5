#include "tessary/store/key_path.h"

#include <array>
#include <string_view>

namespace tessary::store {

namespace {

struct PropertyInfo {
  std::string_view name;
  bool isLimitedValue;
};

const PropertyInfo& info(LayerProperty property) {
  static constexpr std::array<PropertyInfo, 16> kLayer{{
      {"viewWidth", true},
      {"viewHeight", true},
      {"backgroundRed", false},
      {"backgroundGreen", false},
      {"backgroundBlue", false},
      {"backgroundAlpha", false},
      {"background", false},
      {"emitterShape", false},
      {"emitterPositionX", true},
      {"emitterPositionY", true},
      {"emitterPositionYmacOS", false},
      {"emitterWidth", true},
      {"emitterHeight", true},
      {"emitterMode", false},
      {"renderMode", false},
      {"cells", false},
  }};
  return kLayer[static_cast<std::size_t>(property)];
}

const PropertyInfo& info(CellProperty property) {
  static constexpr std::array<PropertyInfo, 33> kCell{{
      {"index", false},
      {"subindex", false},
      {"name", false},
      {"birthRate", true},
      {"lifetime", true},
      {"lifetimeRange", true},
      {"beginTime", true},
      {"duration", true},
      {"velocity", true},
      {"velocityRange", true},
      {"xAcceleration", true},
      {"yAcceleration", true},
      {"emissionLatitude", true},
      {"emissionLongitude", true},
      {"emissionRange", true},
      {"spin", true},
      {"spinRange", true},
      {"scale", true},
      {"scaleRange", true},
      {"scaleSpeed", true},
      {"alphaRange", true},
      {"alphaSpeed", true},
      {"colorRed", false},
      {"colorGreen", false},
      {"colorBlue", false},
      {"colorAlpha", false},
      {"color", false},
      {"redRange", true},
      {"greenRange", true},
      {"blueRange", true},
      {"contentUrl", false},
      {"contents", false},
      {"subcells", false},
  }};
  return kCell[static_cast<std::size_t>(property)];
}

const PropertyInfo& info(const AnyKeyPath& path) {
  if (const auto layer = path.layerProperty()) return info(*layer);
  return info(*path.cellProperty());
}

}  // namespace

bool AnyKeyPath::isLimitedValueProperty() const {
  return !valueField_ && info(*this).isLimitedValue;
}

std::string AnyKeyPath::propertyName() const {
  return std::string(info(*this).name);
}

std::string AnyKeyPath::description() const {
  std::string text = root_ == Root::layer ? "LayerConfig." : "CellConfig.";
  text += info(*this).name;
  if (valueField_) text += ".value";
  return text;
}

}  // namespace tessary::store
