#pragma once

#include <string_view>

#include "tessary/store/layer_config.h"

namespace tessary::store {

// Reads effect JSON into a new layer, keys and layout as the property table says; every problem
// is thrown as an `EffectFileError` that names the place where it was found.
class EffectReader {
 public:
  static LayerConfigRef read(std::string_view json, std::string_view fileName);
};

}  // namespace tessary::store
