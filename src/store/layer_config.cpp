#include "tessary/store/layer_config.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "tessary/platform/fatal_error.h"
#include "tessary/store/property_table.h"

namespace tessary::store {

namespace {

const PropertyTable::Row* numberRow(AnyKeyPath keypath) {
  const PropertyTable::Row* row = PropertyTable::findNumber(keypath);
  return row != nullptr && row->isLayerNumber() ? row : nullptr;
}

CellConfigRef cellAt(const std::vector<CellConfigRef>& cells, int position) {
  if (position < 0 || static_cast<std::size_t>(position) >= cells.size()) return nullptr;
  return cells[static_cast<std::size_t>(position)];
}

}  // namespace

LayerConfig::LayerConfig() {
  for (const PropertyTable::Row& row : PropertyTable::rows()) {
    if (row.isLayerNumber()) this->*row.layerNumber = row.defaults;
  }
}

const LimitedValue* LayerConfig::limitedValue(AnyKeyPath keypath) const {
  const auto* row = numberRow(keypath);
  return row ? &(this->*row->layerNumber) : nullptr;
}

LimitedValue* LayerConfig::limitedValue(AnyKeyPath keypath) {
  const auto* row = numberRow(keypath);
  return row ? &(this->*row->layerNumber) : nullptr;
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
  const auto* row = numberRow(property);
  if (!row) platform::fatalError("defaultValue asked for a layer property that has no bounds");
  return row->defaults;
}

bool LayerConfig::operator==(const LayerConfig& other) const {
  const bool sameNumbers =
      std::all_of(PropertyTable::rows().begin(), PropertyTable::rows().end(),
                  [&](const PropertyTable::Row& row) {
                    return !row.isLayerNumber() || this->*row.layerNumber == other.*row.layerNumber;
                  });
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
