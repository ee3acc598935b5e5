#pragma once

#include <string>

#include "tessary/store/layer_config.h"

namespace tessary::store {

// Writes an effect as JSON text, keys and layout as the property table says: one line per
// property, the cell numbers the table marks as beside the one before them on its line.
class EffectWriter {
 public:
  static std::string write(const LayerConfig& layer);
};

}  // namespace tessary::store
