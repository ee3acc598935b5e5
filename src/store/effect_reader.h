#pragma once

#include <string_view>
#include <vector>

#include "plain_json_reader.h"
#include "tessary/store/layer_config.h"

namespace tessary::store {

// Where a value of an effect stands in the text it was read from, known by the address of what
// it was read into: a number (the `value` of a `LimitedValue` written as a plain number, a bound,
// a colour component), a name, an emitter constant, or a texture (by the cell's `contentUrl`).
struct EffectValuePlace {
  const void* value;
  PlainJsonReader::ValueSpan span;
};
using EffectValuePlaces = std::vector<EffectValuePlace>;

// Reads effect JSON into a new layer, keys and layout as the property table says; every problem
// is thrown as an `EffectFileError` that names the place where it was found.
class EffectReader {
 public:
  // When `places` is given it receives the place of every value read, in the order of the text,
  // or stays empty when the text needed the full parser, which does not tell places.
  static LayerConfigRef read(std::string_view json, std::string_view fileName,
                             EffectValuePlaces* places = nullptr);
};

}  // namespace tessary::store
