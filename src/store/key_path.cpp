#include "tessary/store/key_path.h"

#include <array>
#include <string_view>
#include <utility>

#include "tessary/store/property_table.h"

namespace tessary::store {

namespace {

// The names of the parts of properties that have no row of their own in the property table.
constexpr auto kLayerPartNames = std::to_array<std::pair<LayerProperty, std::string_view>>({
    {LayerProperty::backgroundRed, "backgroundRed"},
    {LayerProperty::backgroundGreen, "backgroundGreen"},
    {LayerProperty::backgroundBlue, "backgroundBlue"},
    {LayerProperty::backgroundAlpha, "backgroundAlpha"},
    {LayerProperty::emitterPositionYmacOS, "emitterPositionYmacOS"},
});
constexpr auto kCellPartNames = std::to_array<std::pair<CellProperty, std::string_view>>({
    {CellProperty::index, "index"},
    {CellProperty::subindex, "subindex"},
    {CellProperty::colorRed, "colorRed"},
    {CellProperty::colorGreen, "colorGreen"},
    {CellProperty::colorBlue, "colorBlue"},
    {CellProperty::colorAlpha, "colorAlpha"},
    {CellProperty::contentUrl, "contentUrl"},
});

template <typename Property, std::size_t Count>
std::string_view nameIn(const std::array<std::pair<Property, std::string_view>, Count>& names,
                        Property property) {
  for (const auto& [candidate, name] : names) {
    if (candidate == property) return name;
  }
  return {};
}

std::string_view nameOf(AnyKeyPath path) {
  if (const auto* row = PropertyTable::find(path.droppingValue())) return row->name;
  if (const auto layer = path.layerProperty()) return nameIn(kLayerPartNames, *layer);
  return nameIn(kCellPartNames, *path.cellProperty());
}

}  // namespace

bool AnyKeyPath::isLimitedValueProperty() const {
  return !valueField_ && PropertyTable::findNumber(*this) != nullptr;
}

std::string AnyKeyPath::propertyName() const {
  return std::string(nameOf(*this));
}

std::string AnyKeyPath::description() const {
  std::string text = root_ == Root::layer ? "LayerConfig." : "CellConfig.";
  text += nameOf(*this);
  if (valueField_) text += ".value";
  return text;
}

}  // namespace tessary::store
