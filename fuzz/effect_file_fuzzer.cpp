// Any bytes given as an effect file: either a clear error that names the file and what is wrong
// on one line, or an effect with cells numbered by their position that saves and loads back
// identical.

#include "fuzz_support.h"
#include "tessary/platform/well_formed_utf8.h"
#include "tessary/store/effect_file.h"

using namespace tessary::store;
using tessary::fuzzing::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  LayerConfigRef layer;
  try {
    layer = EffectFile::parse(tessary::fuzzing::textOf(data, size), "fuzzed.json");
  } catch (const EffectFileError& error) {
    const std::string message = error.what();
    require(error.file() == "fuzzed.json" && !error.place().empty() && !error.problem().empty(),
            "the error names the file, the place and the problem");
    require(message.find_first_of("\r\n") == std::string::npos, "the error is one line");
    require(tessary::platform::isWellFormedUtf8(message), "the error is well-formed UTF-8");
    return 0;
  }
  for (std::size_t i = 0; i < layer->cells.size(); ++i) {
    const CellConfig& cell = *layer->cells[i];
    require(cell.index == static_cast<int>(i) && !cell.subindex, "cells numbered by position");
    for (std::size_t j = 0; j < cell.subcells.size(); ++j) {
      require(cell.subcells[j]->index == static_cast<int>(i) &&
                  cell.subcells[j]->subindex == static_cast<int>(j),
              "sub-cells numbered by position");
    }
  }
  const std::string saved = EffectFile::serialize(*layer);
  require(tessary::platform::isWellFormedUtf8(saved), "a saved effect is well-formed UTF-8");
  // A saved effect that does not load again throws out of here, which the fuzzer reports.
  const LayerConfigRef reloaded = EffectFile::parse(saved, "saved.json");
  require(*reloaded == *layer, "a saved effect loads back identical");
  require(EffectFile::serialize(*reloaded) == saved, "saving again gives the same text");
  return 0;
}
