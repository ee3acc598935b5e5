#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "tessary/store/effect_file_error.h"
#include "tessary/store/layer_config.h"

namespace tessary::store {

// Reading and writing effect files (UTF-8 JSON). Missing keys take the defaults of a new effect;
// unknown and repeated keys are errors. A number outside its slider bounds widens them and a
// colour component outside 0...1 is clamped, as the store does with a typed value. A texture is
// written from `contentUrl` (a file name), or as null for a `contents` URL "None", or left out for
// the built-in image. Cells may nest 32 levels deep.
class EffectFile {
 public:
  // The version of the file format this program reads and writes ("tessaryEffect").
  static constexpr std::int64_t version = 1;

  // Loads an effect; throws `EffectFileError` for a missing or unreadable file, bad UTF-8,
  // malformed JSON, an unknown key, a value of the wrong type or one that is not finite.
  static LayerConfigRef load(const std::filesystem::path& path);
  // Parses effect JSON; `fileName` names the source in errors.
  static LayerConfigRef parse(std::string_view json, std::string_view fileName);
  // The effect as JSON text, every value written so that `parse` gives it back identical.
  static std::string serialize(const LayerConfig& layer);
  // Writes the file to a temporary file beside `path` and renames it over `path`, so the old file
  // stays intact when anything fails; throws `EffectFileError` then. When `path` holds an effect
  // and every value that changes stands in it, only those values' text is written anew (as the
  // whole file would write them) and every other byte stays, the person's layout included;
  // otherwise the whole effect is written.
  static void save(const LayerConfig& layer, const std::filesystem::path& path);

  // The built-in demo effect.
  static LayerConfigRef demo();
  static std::string demoJson();
};

}  // namespace tessary::store
