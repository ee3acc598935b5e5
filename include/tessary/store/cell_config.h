#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tessary/platform/color.h"
#include "tessary/platform/url.h"
#include "tessary/store/key_path.h"
#include "tessary/store/limited_value.h"

namespace tessary::store {

class CellConfig;
using CellConfigRef = std::shared_ptr<CellConfig>;

// One emitter cell or sub-cell. Cells are shared references: the layer, the store and a build in
// progress all see the same object. Change them only through `DataStore`.
class CellConfig {
 public:
  // Position among the layer's cells; for a sub-cell, the position of its parent.
  int index = 0;
  // Absent for a top-level cell; for a sub-cell, its position among its parent's sub-cells.
  std::optional<int> subindex;
  std::string name;

  LimitedValue birthRate;
  LimitedValue lifetime;
  LimitedValue lifetimeRange;
  LimitedValue beginTime;
  LimitedValue duration;
  LimitedValue velocity;
  LimitedValue velocityRange;
  LimitedValue xAcceleration;
  LimitedValue yAcceleration;
  LimitedValue emissionLatitude;   // degrees
  LimitedValue emissionLongitude;  // degrees
  LimitedValue emissionRange;      // degrees
  LimitedValue spin;               // degrees
  LimitedValue spinRange;          // degrees
  LimitedValue scale;
  LimitedValue scaleRange;
  LimitedValue scaleSpeed;
  LimitedValue alphaRange;
  LimitedValue alphaSpeed;
  LimitedValue redRange;
  LimitedValue greenRange;
  LimitedValue blueRange;

  double colorRed = 1.0;
  double colorGreen = 1.0;
  double colorBlue = 1.0;
  double colorAlpha = 1.0;

  // The image file the particles are drawn with; absent for the built-in image.
  std::optional<platform::URL> contentUrl;
  // The URL of `contents`: the texture file, the text "None" for a cell without texture, or
  // absent for the built-in image.
  std::optional<platform::URL> contentsUrl;

  std::vector<CellConfigRef> subcells;

  // A cell with every property at its default, as a new effect has it.
  CellConfig();

  platform::Color color() const { return {colorRed, colorGreen, colorBlue, colorAlpha}; }
  // The texture URL and whether the cell uses the built-in image.
  std::pair<std::optional<platform::URL>, bool> contents() const {
    return {contentsUrl, !contentUrl.has_value()};
  }

  // The `LimitedValue` a key path names (the property itself, or the value inside it), or null
  // for a key path that names no `LimitedValue` of a cell.
  const LimitedValue* limitedValue(AnyKeyPath keypath) const;
  LimitedValue* limitedValue(AnyKeyPath keypath);

  // A copy of this cell and all its sub-cells, sharing nothing with it.
  CellConfigRef deepCopy() const;

  // The default slider bounds and value of a cell's `LimitedValue` property.
  static LimitedValue defaultValue(CellProperty property);

  bool operator==(const CellConfig& other) const;
};

}  // namespace tessary::store
