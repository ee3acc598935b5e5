#pragma once

#include <filesystem>
#include <optional>

#include "tessary/store/layer_config.h"

namespace tessary::tool {

// The effect a command works on: the file given, or the built-in demo effect. Turns the file's
// errors into CommandError.
store::LayerConfigRef loadEffect(const std::optional<std::filesystem::path>& path);

}  // namespace tessary::tool
