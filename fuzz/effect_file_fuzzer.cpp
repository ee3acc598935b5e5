// Any bytes given as an effect file: either a clear error that names the file and what is wrong
// on one line, or an effect that saves and loads back identical.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "tessary/platform/well_formed_utf8.h"
#include "tessary/store/effect_file.h"

namespace {

using tessary::fuzzing::require;
using tessary::store::CellConfig;
using tessary::store::EffectFile;
using tessary::store::EffectFileError;
using tessary::store::LayerConfig;
using tessary::store::LayerConfigRef;

constexpr const char* kFileName = "fuzzed.json";

bool cellsAreNumberedByPosition(const LayerConfig& layer) {
  for (std::size_t i = 0; i < layer.cells.size(); ++i) {
    const CellConfig& cell = *layer.cells[i];
    if (cell.index != static_cast<int>(i) || cell.subindex) return false;
    for (std::size_t j = 0; j < cell.subcells.size(); ++j) {
      const CellConfig& subcell = *cell.subcells[j];
      if (subcell.index != static_cast<int>(i) || subcell.subindex != static_cast<int>(j)) {
        return false;
      }
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  LayerConfigRef layer;
  try {
    layer = EffectFile::parse(tessary::fuzzing::textOf(data, size), kFileName);
  } catch (const EffectFileError& error) {
    const std::string message = error.what();
    require(error.file() == kFileName, "the error names the file");
    require(!error.place().empty() && !error.problem().empty(), "the error says where and what");
    require(message.find('\n') == std::string::npos && message.find('\r') == std::string::npos,
            "the error is one line");
    require(tessary::platform::isWellFormedUtf8(message), "the error is well-formed UTF-8");
    return 0;
  }
  require(layer != nullptr, "a parsed effect");
  require(cellsAreNumberedByPosition(*layer), "cells numbered by their position");
  const std::string saved = EffectFile::serialize(*layer);
  require(tessary::platform::isWellFormedUtf8(saved), "a saved effect is well-formed UTF-8");
  LayerConfigRef reloaded;
  try {
    reloaded = EffectFile::parse(saved, "saved.json");
  } catch (const EffectFileError& error) {
    std::fprintf(stderr, "%s\n", error.what());
    require(false, "a saved effect loads again");
  }
  require(*reloaded == *layer, "a saved effect loads back identical");
  require(EffectFile::serialize(*reloaded) == saved, "saving again gives the same text");
  return 0;
}
