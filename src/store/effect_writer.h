#pragma once

#include <string>

#include "tessary/store/layer_config.h"
#include "tessary/store/property_table.h"

namespace tessary::store {

// Writes an effect as JSON text, keys and layout as the property table says: one line per
// property, the cell numbers the table marks as beside the one before them on its line.
class EffectWriter {
 public:
  static std::string write(const LayerConfig& layer);

  // The text of one number as the file writes it.
  static std::string numberText(double value);
  // Whether the file holds the row's key at all: a cell drawn with the built-in image has no
  // texture key.
  static bool isWritten(const PropertyTable::Row& row, const CellConfig* cell);
  // The text of a name, texture or emitter constant (one JSON string, or null for no texture).
  static std::string scalarText(const PropertyTable::Row& row, const LayerConfig& layer,
                                const CellConfig* cell);
};

}  // namespace tessary::store
