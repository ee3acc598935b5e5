#include "tessary/store/effect_file.h"

#include <optional>
#include <string>
#include <system_error>
#include <utility>

#include "demo_effect_json.h"
#include "effect_file_patch.h"
#include "effect_reader.h"
#include "effect_writer.h"
#include "tessary/platform/atomic_file.h"

namespace tessary::store {

namespace {

// The file at `path` with only the values that differ from `layer` written anew, when each of them
// stands in the file and the result reads back as `layer`; none when the file is not an effect.
std::optional<std::string> patchedFile(const LayerConfig& layer,
                                       const std::filesystem::path& path) {
  std::error_code ignored;
  // Anything but a regular file (a pipe would block the read) is left to the atomic writer.
  if (!std::filesystem::is_regular_file(path, ignored)) return std::nullopt;
  try {
    const std::string current = platform::readWholeFile(path);
    EffectValuePlaces places;
    const LayerConfigRef read = EffectReader::read(current, path.string(), &places);
    std::optional<std::string> patched = EffectFilePatch::patched(current, *read, places, layer);
    if (patched && *EffectReader::read(*patched, path.string()) == layer) return patched;
    return std::nullopt;
  } catch (const platform::FileError&) {
    return std::nullopt;
  } catch (const EffectFileError&) {
    return std::nullopt;
  }
}

}  // namespace

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
  std::optional<std::string> patched = patchedFile(layer, path);
  const std::string text = patched ? std::move(*patched) : serialize(layer);
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
