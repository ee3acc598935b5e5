#pragma once

#include <filesystem>
#include <optional>

#include "tessary/store/layer_config.h"

namespace tessary::store {

// The effect a program works on: the file given, or the built-in demo effect when none is.
// Throws EffectFileError when the file cannot be read or holds no valid effect.
LayerConfigRef loadEffect(const std::optional<std::filesystem::path>& path);

}  // namespace tessary::store
