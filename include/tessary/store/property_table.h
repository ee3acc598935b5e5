#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <type_traits>

#include "tessary/store/cell_config.h"
#include "tessary/store/key_path.h"
#include "tessary/store/layer_config.h"
#include "tessary/store/limited_value.h"

namespace tessary::store {

// Everything the program knows about each editable property of an effect, said once: how the
// store, the effect file, the snippet, the edit analysis and the playground's controls name it,
// show it and bound it. The layer's rows come first, then the cell's; within each, the rows stand
// in the order the effect file writes them.
class PropertyTable {
 public:
  // What a property holds, which decides how it is read, written and shown.
  enum class Kind : std::uint8_t {
    number,  // a `LimitedValue`
    color,
    text,
    texture,
    emitterShape,
    emitterMode,
    renderMode,
    cellList,
  };

  // What the snippet writes after an angle, which the store keeps in degrees.
  enum class Angle : std::uint8_t { none, radians, radiansNoted };

  struct Row {
    AnyKeyPath path;
    Kind kind;
    // The `ConfigType` raw value: "birth rate".
    std::string_view typeName;
    // The key path's own name: "birthRate", "emitterPositionX".
    std::string_view name;
    // The object of the effect file that holds the key ("viewSize"); empty when the key sits in
    // the layer or cell object itself.
    std::string_view fileObject;
    std::string_view fileKey;
    // The member as the snippet and the change lists write it: "birthRate", "emitterPosition.y".
    std::string_view swiftName;
    // For people, on the playground's controls: "Birth rate".
    std::string_view label;
    // The heading the playground shows the control under; empty for the layer's.
    std::string_view group = {};
    // A number's value in a new effect and its slider bounds.
    LimitedValue defaults{};
    LimitedValue LayerConfig::*layerNumber = nullptr;
    LimitedValue CellConfig::*cellNumber = nullptr;
    // The fraction digits the snippet shows a number with.
    int digits = 1;
    // The macOS snippet shows the value mirrored, as a macOS layer's y axis points up: a cell
    // number with its sign changed, the emitter position Y measured from the bottom of the view.
    bool mirroredOnMacOS = false;
    // Shown for sub-cells only.
    bool subcellOnly = false;
    // The snippet's number may carry a minus sign.
    bool isSigned = false;
    Angle angle = Angle::none;
    // The effect file writes the value on the line of the row before.
    bool besidePrevious = false;
    // A position or size in the view: the layer number (the view's width or height) its slider
    // runs up to, whatever bounds the effect keeps.
    LimitedValue LayerConfig::*viewExtent = nullptr;

    constexpr bool isLayerNumber() const { return layerNumber != nullptr; }
    constexpr bool isCellNumber() const { return cellNumber != nullptr; }
  };

  static constexpr std::span<const Row> rows();
  // The row of a property, or null for a key path that names none (a colour component, the
  // value inside a `LimitedValue`, ...).
  static constexpr const Row* find(AnyKeyPath path);
  // The row of the number a key path names, itself or the value inside it; null for any other.
  static constexpr const Row* findNumber(AnyKeyPath path);
  // The position of a property's row in `rows()`; none for a key path that names none.
  static constexpr std::optional<std::size_t> indexOf(AnyKeyPath path);
};

// The rows themselves; use them through `PropertyTable`.
namespace property_rows {

using Row = PropertyTable::Row;
using Kind = PropertyTable::Kind;
using Angle = PropertyTable::Angle;

struct Flags {
  bool mirroredOnMacOS = false;
  LimitedValue LayerConfig::*viewExtent = nullptr;
  bool subcellOnly = false;
  bool isSigned = false;
  Angle angle = Angle::none;
  bool besidePrevious = false;
};

constexpr Row layerNumber(LayerProperty property, LimitedValue LayerConfig::*member,
                          std::string_view typeName, std::string_view name,
                          std::string_view fileObject, std::string_view fileKey,
                          std::string_view swiftName, std::string_view label, LimitedValue defaults,
                          Flags flags = {}) {
  Row row{property, Kind::number, typeName, name, fileObject,
          fileKey,  swiftName,    label,    {},   defaults};
  row.layerNumber = member;
  row.mirroredOnMacOS = flags.mirroredOnMacOS;
  row.viewExtent = flags.viewExtent;
  return row;
}

// A cell number, named alike in the store, the effect file and the snippet.
constexpr Row cellNumber(CellProperty property, LimitedValue CellConfig::*member,
                         std::string_view name, std::string_view typeName, std::string_view label,
                         std::string_view group, int digits, LimitedValue defaults,
                         Flags flags = {}) {
  Row row{property, Kind::number, typeName, name, {}, name, name, label, group, defaults};
  row.cellNumber = member;
  row.digits = digits;
  row.mirroredOnMacOS = flags.mirroredOnMacOS;
  row.subcellOnly = flags.subcellOnly;
  row.isSigned = flags.isSigned;
  row.angle = flags.angle;
  row.besidePrevious = flags.besidePrevious;
  return row;
}

// Sizes and positions are in points, the position measured from the top-left corner; angles
// are in degrees, times in seconds, scales and colour ranges fractions.
inline constexpr std::array kRows{
    layerNumber(LayerProperty::viewWidth, &LayerConfig::viewWidth, "view width", "viewWidth",
                "viewSize", "width", "size.width", "View width", {400.0, 1.0, 4000.0}),
    layerNumber(LayerProperty::viewHeight, &LayerConfig::viewHeight, "view height", "viewHeight",
                "viewSize", "height", "size.height", "View height", {300.0, 1.0, 4000.0}),
    Row{LayerProperty::background,
        Kind::color,
        "background",
        "background",
        {},
        "backgroundColor",
        "backgroundColor",
        "Background"},
    Row{LayerProperty::emitterShape,
        Kind::emitterShape,
        "emitter shape",
        "emitterShape",
        {},
        "emitterShape",
        "emitterShape",
        "Shape"},
    Row{LayerProperty::emitterMode,
        Kind::emitterMode,
        "emitter mode",
        "emitterMode",
        {},
        "emitterMode",
        "emitterMode",
        "Mode"},
    Row{LayerProperty::renderMode,
        Kind::renderMode,
        "render mode",
        "renderMode",
        {},
        "renderMode",
        "renderMode",
        "Render mode"},
    layerNumber(LayerProperty::emitterPositionX, &LayerConfig::emitterPositionX,
                "emitter position X", "emitterPositionX", "emitterPosition", "x",
                "emitterPosition.x", "Position X", {200.0, 0.0, 4000.0},
                {.viewExtent = &LayerConfig::viewWidth}),
    layerNumber(LayerProperty::emitterPositionY, &LayerConfig::emitterPositionY,
                "emitter position Y", "emitterPositionY", "emitterPosition", "y",
                "emitterPosition.y", "Position Y", {150.0, 0.0, 4000.0},
                {.mirroredOnMacOS = true, .viewExtent = &LayerConfig::viewHeight}),
    layerNumber(LayerProperty::emitterWidth, &LayerConfig::emitterWidth, "emitter width",
                "emitterWidth", "emitterSize", "width", "emitterSize.width", "Emitter width",
                {50.0, 0.0, 4000.0}, {.viewExtent = &LayerConfig::viewWidth}),
    layerNumber(LayerProperty::emitterHeight, &LayerConfig::emitterHeight, "emitter height",
                "emitterHeight", "emitterSize", "height", "emitterSize.height", "Emitter height",
                {10.0, 0.0, 4000.0}, {.viewExtent = &LayerConfig::viewHeight}),
    Row{LayerProperty::cells,
        Kind::cellList,
        "cells",
        "cells",
        {},
        "cells",
        "emitterCells",
        "Cells"},

    Row{CellProperty::name, Kind::text, "name", "name", {}, "name", "name", "Name"},
    Row{CellProperty::contents,
        Kind::texture,
        "texture",
        "contents",
        {},
        "texture",
        "contents",
        "Texture"},
    cellNumber(CellProperty::birthRate, &CellConfig::birthRate, "birthRate", "birth rate",
               "Birth rate", "Emission", 1, {10.0, 0.0, 500.0}),
    cellNumber(CellProperty::lifetime, &CellConfig::lifetime, "lifetime", "lifetime", "Lifetime",
               "Emission", 1, {5.0, 0.0, 30.0}, {.besidePrevious = true}),
    cellNumber(CellProperty::lifetimeRange, &CellConfig::lifetimeRange, "lifetimeRange",
               "lifetime range", "Lifetime range", "Emission", 1, {0.0, 0.0, 30.0},
               {.besidePrevious = true}),
    cellNumber(CellProperty::beginTime, &CellConfig::beginTime, "beginTime", "begin time",
               "Begin time", "Emission", 2, {0.0, 0.0, 10.0}, {.subcellOnly = true}),
    cellNumber(CellProperty::duration, &CellConfig::duration, "duration", "duration", "Duration",
               "Emission", 2, {0.0, 0.0, 10.0}, {.subcellOnly = true, .besidePrevious = true}),
    cellNumber(CellProperty::velocity, &CellConfig::velocity, "velocity", "velocity", "Velocity",
               "Motion", 1, {100.0, -500.0, 500.0}, {.isSigned = true}),
    cellNumber(CellProperty::velocityRange, &CellConfig::velocityRange, "velocityRange",
               "velocity range", "Velocity range", "Motion", 1, {0.0, 0.0, 500.0},
               {.isSigned = true, .besidePrevious = true}),
    cellNumber(CellProperty::xAcceleration, &CellConfig::xAcceleration, "xAcceleration",
               "X acceleration", "X acceleration", "Motion", 2, {0.0, -500.0, 500.0},
               {.isSigned = true}),
    cellNumber(CellProperty::yAcceleration, &CellConfig::yAcceleration, "yAcceleration",
               "Y acceleration", "Y acceleration", "Motion", 2, {0.0, -500.0, 500.0},
               {.mirroredOnMacOS = true, .isSigned = true, .besidePrevious = true}),
    cellNumber(CellProperty::emissionLatitude, &CellConfig::emissionLatitude, "emissionLatitude",
               "emission latitude", "Latitude °", "Motion", 1, {0.0, -180.0, 180.0},
               {.mirroredOnMacOS = true, .isSigned = true, .angle = Angle::radiansNoted}),
    cellNumber(CellProperty::emissionLongitude, &CellConfig::emissionLongitude, "emissionLongitude",
               "emission longitude", "Longitude °", "Motion", 1, {0.0, -180.0, 180.0},
               {.mirroredOnMacOS = true,
                .isSigned = true,
                .angle = Angle::radians,
                .besidePrevious = true}),
    cellNumber(CellProperty::emissionRange, &CellConfig::emissionRange, "emissionRange",
               "emission range", "Range °", "Motion", 1, {0.0, 0.0, 360.0},
               {.angle = Angle::radians, .besidePrevious = true}),
    cellNumber(CellProperty::spin, &CellConfig::spin, "spin", "spin", "Spin °/s", "Motion", 1,
               {0.0, -360.0, 360.0},
               {.mirroredOnMacOS = true, .isSigned = true, .angle = Angle::radians}),
    cellNumber(CellProperty::spinRange, &CellConfig::spinRange, "spinRange", "spin range",
               "Spin range °", "Motion", 1, {0.0, 0.0, 360.0},
               {.angle = Angle::radians, .besidePrevious = true}),
    cellNumber(CellProperty::scale, &CellConfig::scale, "scale", "scale", "Scale", "Look", 4,
               {0.1, 0.0, 2.0}),
    cellNumber(CellProperty::scaleRange, &CellConfig::scaleRange, "scaleRange", "scale range",
               "Scale range", "Look", 4, {0.0, 0.0, 2.0}, {.besidePrevious = true}),
    cellNumber(CellProperty::scaleSpeed, &CellConfig::scaleSpeed, "scaleSpeed", "scale speed",
               "Scale speed", "Look", 4, {0.0, -1.0, 1.0},
               {.isSigned = true, .besidePrevious = true}),
    cellNumber(CellProperty::alphaRange, &CellConfig::alphaRange, "alphaRange", "alpha range",
               "Alpha range", "Look", 2, {0.0, 0.0, 1.0}),
    cellNumber(CellProperty::alphaSpeed, &CellConfig::alphaSpeed, "alphaSpeed", "alpha speed",
               "Alpha speed", "Look", 2, {0.0, -2.0, 2.0},
               {.isSigned = true, .besidePrevious = true}),
    Row{CellProperty::color, Kind::color, "color", "color", {}, "color", "color", "Colour", "Look"},
    cellNumber(CellProperty::redRange, &CellConfig::redRange, "redRange", "red range", "Red range",
               "Look", 3, {0.0, 0.0, 1.0}),
    cellNumber(CellProperty::greenRange, &CellConfig::greenRange, "greenRange", "green range",
               "Green range", "Look", 3, {0.0, 0.0, 1.0}, {.besidePrevious = true}),
    cellNumber(CellProperty::blueRange, &CellConfig::blueRange, "blueRange", "blue range",
               "Blue range", "Look", 3, {0.0, 0.0, 1.0}, {.besidePrevious = true}),
    Row{CellProperty::subcells,
        Kind::cellList,
        "subcells",
        "subcells",
        {},
        "subcells",
        "emitterCells",
        "Sub-cells"},
};

template <typename Property>
constexpr auto rowIndexes() {
  std::array<std::int8_t, keyPathPropertyCount<Property>> indexes{};
  indexes.fill(-1);
  for (std::size_t i = 0; i < kRows.size(); ++i) {
    const AnyKeyPath path = kRows[i].path;
    std::optional<Property> property;
    if constexpr (std::is_same_v<Property, LayerProperty>) {
      property = path.layerProperty();
    } else {
      property = path.cellProperty();
    }
    if (property) indexes[static_cast<std::size_t>(*property)] = static_cast<std::int8_t>(i);
  }
  return indexes;
}

inline constexpr auto kLayerRowIndexes = rowIndexes<LayerProperty>();
inline constexpr auto kCellRowIndexes = rowIndexes<CellProperty>();

}  // namespace property_rows

constexpr std::span<const PropertyTable::Row> PropertyTable::rows() {
  return property_rows::kRows;
}

constexpr std::optional<std::size_t> PropertyTable::indexOf(AnyKeyPath path) {
  if (path.isLimitedValueField()) return std::nullopt;
  const std::int8_t index =
      path.layerProperty()
          ? property_rows::kLayerRowIndexes[static_cast<std::size_t>(*path.layerProperty())]
          : property_rows::kCellRowIndexes[static_cast<std::size_t>(*path.cellProperty())];
  if (index < 0) return std::nullopt;
  return static_cast<std::size_t>(index);
}

constexpr const PropertyTable::Row* PropertyTable::find(AnyKeyPath path) {
  const auto index = indexOf(path);
  return index ? &property_rows::kRows[*index] : nullptr;
}

constexpr const PropertyTable::Row* PropertyTable::findNumber(AnyKeyPath path) {
  const Row* row = find(path.droppingValue());
  return row != nullptr && row->kind == Kind::number ? row : nullptr;
}

}  // namespace tessary::store
