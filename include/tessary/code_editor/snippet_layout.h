#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <string>

#include "tessary/code_editor/code_platform.h"
#include "tessary/code_editor/section_builder.h"
#include "tessary/store/key_path.h"
#include "tessary/store/layer_config.h"
#include "tessary/store/property_table.h"

namespace tessary::code_editor {

// The order of the snippet: the intro, the six layer lines, each cell's lines followed by its
// sub-cells' lines (one level), then the closing text. Every placed line is keyed by the property
// it shows; the lines of the table's sub-cell-only properties are placed for sub-cells only.
class SnippetLayout {
 public:
  static constexpr std::array<store::AnyKeyPath, 6> layerLineKeys{
      store::LayerProperty::background,       store::LayerProperty::emitterShape,
      store::LayerProperty::emitterPositionX, store::LayerProperty::emitterWidth,
      store::LayerProperty::emitterMode,      store::LayerProperty::renderMode,
  };

  // The cell's header (keyed by its texture) first, then a line for every other property of the
  // cell but its sub-cells, in the property table's order.
  static constexpr auto cellLineKeys = [] {
    using store::PropertyTable;
    constexpr auto isLine = [](const PropertyTable::Row& row) {
      return row.path.cellProperty() && row.path != store::CellProperty::contents &&
             row.kind != PropertyTable::Kind::cellList;
    };
    constexpr std::size_t kLines = static_cast<std::size_t>(
        std::count_if(PropertyTable::rows().begin(), PropertyTable::rows().end(), isLine));
    std::array<store::CellProperty, kLines + 1> keys{store::CellProperty::contents};
    std::size_t next = 1;
    for (const PropertyTable::Row& row : PropertyTable::rows()) {
      if (isLine(row)) keys[next++] = *row.path.cellProperty();
    }
    return keys;
  }();

  // Whether a line of `key` is placed for `cell` (null for the layer's lines).
  static constexpr bool isPlaced(store::AnyKeyPath key, const store::CellConfig* cell) {
    const store::PropertyTable::Row* row = store::PropertyTable::find(key);
    const bool subcellOnly = row != nullptr && row->subcellOnly;
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
