#pragma once

#include <array>
#include <string>

#include "tessary/code_editor/code_platform.h"
#include "tessary/code_editor/section_builder.h"
#include "tessary/store/key_path.h"
#include "tessary/store/layer_config.h"

namespace tessary::code_editor {

// The order of the snippet: the intro, the six layer lines, each cell's lines followed by its
// sub-cells' lines (one level), then the closing text. Every placed line is keyed by the property
// it shows; the begin time and duration lines are placed for sub-cells only.
class SnippetLayout {
 public:
  static constexpr std::array<store::AnyKeyPath, 6> layerLineKeys{
      store::LayerProperty::background,       store::LayerProperty::emitterShape,
      store::LayerProperty::emitterPositionX, store::LayerProperty::emitterWidth,
      store::LayerProperty::emitterMode,      store::LayerProperty::renderMode,
  };

  static constexpr std::array<store::AnyKeyPath, 25> cellLineKeys{
      store::CellProperty::contents,
      store::CellProperty::name,
      store::CellProperty::birthRate,
      store::CellProperty::lifetime,
      store::CellProperty::lifetimeRange,
      store::CellProperty::beginTime,
      store::CellProperty::duration,
      store::CellProperty::velocity,
      store::CellProperty::velocityRange,
      store::CellProperty::xAcceleration,
      store::CellProperty::yAcceleration,
      store::CellProperty::emissionLatitude,
      store::CellProperty::emissionLongitude,
      store::CellProperty::emissionRange,
      store::CellProperty::spin,
      store::CellProperty::spinRange,
      store::CellProperty::scale,
      store::CellProperty::scaleRange,
      store::CellProperty::scaleSpeed,
      store::CellProperty::alphaRange,
      store::CellProperty::alphaSpeed,
      store::CellProperty::color,
      store::CellProperty::redRange,
      store::CellProperty::greenRange,
      store::CellProperty::blueRange,
  };

  // Whether a line of `key` is placed for `cell` (null for the layer's lines).
  static constexpr bool isPlaced(store::AnyKeyPath key, const store::CellConfig* cell) {
    const bool subcellOnly =
        key == store::CellProperty::beginTime || key == store::CellProperty::duration;
    return !subcellOnly || (cell != nullptr && cell->subindex.has_value());
  }

  // Calls `visit(key, cell)` for every placed line in snippet order; `cell` is null for the
  // layer's lines.
  template <typename Visitor>
  static void forEachLine(const store::LayerConfig& layer, Visitor&& visit) {
    for (const store::AnyKeyPath key : layerLineKeys) visit(key, nullptr);
    const auto visitCell = [&](const store::CellConfig& cell) {
      for (const store::AnyKeyPath key : cellLineKeys) {
        if (isPlaced(key, &cell)) visit(key, &cell);
      }
    };
    for (const auto& cell : layer.cells) {
      visitCell(*cell);
      for (const auto& subcell : cell->subcells) visitCell(*subcell);
    }
  }

  // The whole snippet as plain text.
  static std::string plainText(const store::LayerConfig& layer, CodePlatform platform,
                               const SectionBuilder& sections = SectionBuilder());
};

}  // namespace tessary::code_editor
