#include "tessary/store/layer_config.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "tessary/platform/fatal_error.h"

namespace tessary::store {

namespace {

struct LimitedProperty {
  LayerProperty property;
  LimitedValue LayerConfig::*member;
  LimitedValue defaults;  // the value of a new effect and its slider bounds
};

// Sizes and positions are in points; the position is measured from the top-left corner.
constexpr std::array<LimitedProperty, 6> kLimitedProperties{{
    {LayerProperty::viewWidth, &LayerConfig::viewWidth, {400.0, 1.0, 4000.0}},
    {LayerProperty::viewHeight, &LayerConfig::viewHeight, {300.0, 1.0, 4000.0}},
    {LayerProperty::emitterPositionX, &LayerConfig::emitterPositionX, {200.0, 0.0, 4000.0}},
    {LayerProperty::emitterPositionY, &LayerConfig::emitterPositionY, {150.0, 0.0, 4000.0}},
    {LayerProperty::emitterWidth, &LayerConfig::emitterWidth, {50.0, 0.0, 4000.0}},
    {LayerProperty::emitterHeight, &LayerConfig::emitterHeight, {10.0, 0.0, 4000.0}},
}};

const LimitedProperty* findLimitedProperty(AnyKeyPath keypath) {
  const auto property = keypath.layerProperty();
  if (!property) return nullptr;
  const auto* found = std::find_if(
      kLimitedProperties.begin(), kLimitedProperties.end(),
      [&](const LimitedProperty& candidate) { return candidate.property == *property; });
  return found == kLimitedProperties.end() ? nullptr : found;
}

CellConfigRef cellAt(const std::vector<CellConfigRef>& cells, int position) {
  if (position < 0 || static_cast<std::size_t>(position) >= cells.size()) return nullptr;
  return cells[static_cast<std::size_t>(position)];
}

}  // namespace

LayerConfig::LayerConfig() {
  for (const auto& entry : kLimitedProperties) this->*entry.member = entry.defaults;
}

const LimitedValue* LayerConfig::limitedValue(AnyKeyPath keypath) const {
  const auto* entry = findLimitedProperty(keypath);
  return entry ? &(this->*entry->member) : nullptr;
}

LimitedValue* LayerConfig::limitedValue(AnyKeyPath keypath) {
  const auto* entry = findLimitedProperty(keypath);
  return entry ? &(this->*entry->member) : nullptr;
}

CellConfigRef LayerConfig::cell(int cellIdx, std::optional<int> subcellIdx) const {
  auto topLevel = cellAt(cells, cellIdx);
  if (!topLevel || !subcellIdx) return topLevel;
  return cellAt(topLevel->subcells, *subcellIdx);
}

LayerConfigRef LayerConfig::deepCopy() const {
  auto copy = std::make_shared<LayerConfig>(*this);
  for (auto& cell : copy->cells) {
    if (cell) cell = cell->deepCopy();
  }
  return copy;
}

LimitedValue LayerConfig::defaultValue(LayerProperty property) {
  const auto* entry = findLimitedProperty(property);
  if (!entry) platform::fatalError("defaultValue asked for a layer property that has no bounds");
  return entry->defaults;
}

bool LayerConfig::operator==(const LayerConfig& other) const {
  const bool sameNumbers = std::all_of(
      kLimitedProperties.begin(), kLimitedProperties.end(),
      [&](const LimitedProperty& entry) { return this->*entry.member == other.*entry.member; });
  const bool sameCells =
      std::equal(cells.begin(), cells.end(), other.cells.begin(), other.cells.end(),
                 [](const CellConfigRef& left, const CellConfigRef& right) {
                   if (!left || !right) return left == right;
                   return *left == *right;
                 });
  return sameNumbers && backgroundRed == other.backgroundRed &&
         backgroundGreen == other.backgroundGreen && backgroundBlue == other.backgroundBlue &&
         backgroundAlpha == other.backgroundAlpha && emitterShape == other.emitterShape &&
         emitterMode == other.emitterMode && renderMode == other.renderMode && sameCells;
}

}  // namespace tessary::store
