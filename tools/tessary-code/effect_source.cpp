#include "effect_source.h"

#include "command_error.h"
#include "tessary/store/effect_file.h"

namespace tessary::tool {

store::LayerConfigRef loadEffect(const std::optional<std::filesystem::path>& path) {
  if (!path) return store::EffectFile::demo();
  try {
    return store::EffectFile::load(*path);
  } catch (const store::EffectFileError& error) {
    throw CommandError(error.what());
  }
}

}  // namespace tessary::tool
