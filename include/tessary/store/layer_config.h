#pragma once

#include <memory>
#include <vector>

#include "tessary/platform/color.h"
#include "tessary/store/cell_config.h"
#include "tessary/store/emitter_modes.h"
#include "tessary/store/key_path.h"
#include "tessary/store/limited_value.h"

namespace tessary::store {

class LayerConfig;
using LayerConfigRef = std::shared_ptr<LayerConfig>;

// The emitter layer of an effect and its cells. A shared reference; change it only through
// `DataStore`. The emitter position is kept in top-left (iOS) coordinates.
class LayerConfig {
 public:
  LimitedValue viewWidth;
  LimitedValue viewHeight;
  double backgroundRed = 0.0;
  double backgroundGreen = 0.0;
  double backgroundBlue = 0.0;
  double backgroundAlpha = 1.0;
  EmitterShape emitterShape = EmitterShape::point;
  EmitterMode emitterMode = EmitterMode::outline;
  RenderMode renderMode = RenderMode::additive;
  LimitedValue emitterPositionX;
  LimitedValue emitterPositionY;
  LimitedValue emitterWidth;
  LimitedValue emitterHeight;
  std::vector<CellConfigRef> cells;

  // A layer with every property at its default and no cells, as a new effect has it.
  LayerConfig();

  platform::Color background() const {
    return {backgroundRed, backgroundGreen, backgroundBlue, backgroundAlpha};
  }
  // Y as the macOS snippet shows it: a macOS layer measures y up from the bottom of its view.
  double emitterPositionYmacOS() const { return viewHeight.value - emitterPositionY.value; }

  const LimitedValue* limitedValue(AnyKeyPath keypath) const;
  LimitedValue* limitedValue(AnyKeyPath keypath);

  // The cell at `cellIdx`, or its sub-cell `subcellIdx`; null when there is none.
  CellConfigRef cell(int cellIdx, std::optional<int> subcellIdx = std::nullopt) const;

  // A copy of the layer and all its cells, sharing nothing with it.
  LayerConfigRef deepCopy() const;

  static LimitedValue defaultValue(LayerProperty property);

  bool operator==(const LayerConfig& other) const;
};

}  // namespace tessary::store
