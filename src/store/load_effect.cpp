#include "tessary/store/load_effect.h"

#include "tessary/store/effect_file.h"

namespace tessary::store {

LayerConfigRef loadEffect(const std::optional<std::filesystem::path>& path) {
  return path ? EffectFile::load(*path) : EffectFile::demo();
}

}  // namespace tessary::store
