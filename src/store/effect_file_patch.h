#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "effect_reader.h"
#include "tessary/store/layer_config.h"

namespace tessary::store {

// The text of an effect file with only its changed values written anew, so that a person's
// layout, key order, spacing, line ends and number spellings stay as they were.
class EffectFilePatch {
 public:
  // `text` with each value where `target` differs from `read` (the effect `text` was read into,
  // its values at `places`) replaced by the writer's text for the new value; none when a change
  // has no value in the text to replace: a key the file leaves out (a plain number whose bounds
  // change, a texture that becomes the built-in image), or a cell added or removed.
  static std::optional<std::string> patched(std::string_view text, const LayerConfig& read,
                                            const EffectValuePlaces& places,
                                            const LayerConfig& target);
};

}  // namespace tessary::store
