#include "tessary/store/effect_file.h"

#include <string>

#include "demo_effect_json.h"
#include "effect_reader.h"
#include "effect_writer.h"
#include "tessary/platform/atomic_file.h"

namespace tessary::store {

LayerConfigRef EffectFile::load(const std::filesystem::path& path) {
  std::string text;
  try {
    text = platform::readWholeFile(path);
  } catch (const platform::FileError& error) {
    throw EffectFileError(path.string(), "cannot read", error.reason());
  }
  return parse(text, path.string());
}

LayerConfigRef EffectFile::parse(std::string_view json, std::string_view fileName) {
  return EffectReader::read(json, fileName);
}

std::string EffectFile::serialize(const LayerConfig& layer) {
  return EffectWriter::write(layer);
}

void EffectFile::save(const LayerConfig& layer, const std::filesystem::path& path) {
  const std::string text = serialize(layer);
  try {
    platform::writeFileAtomically(path, text);
  } catch (const platform::FileError& error) {
    throw EffectFileError(path.string(), "cannot save", error.reason());
  }
}

LayerConfigRef EffectFile::demo() {
  return parse(embedded::demoEffectJson, "demo effect");
}

std::string EffectFile::demoJson() {
  return std::string(embedded::demoEffectJson);
}

}  // namespace tessary::store
