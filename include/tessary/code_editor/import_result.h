#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tessary/code_editor/code_platform.h"
#include "tessary/store/layer_config.h"

namespace tessary::code_editor {

// What importing source code gave: the emitter layers found, the effect made of the chosen one,
// and a note for every setting of it that was not kept as written.
class ImportResult {
 public:
  struct Layer {
    // The variable, property or type that holds the layer; empty when none does.
    std::string name;
    // The function or property that makes it; empty at the top level.
    std::string madeIn;
    std::size_t cells = 0;
  };

  struct Note {
    enum class Kind : std::uint8_t {
      // The setting is not in the effect, or not as the source has it at run time.
      notKept,
      // The setting is in the effect in another form (a layer multiplier folded into the cells).
      folded,
      // Kept, with something worth knowing (an image file that was not found).
      kept,
    };
    Kind kind = Kind::notKept;
    std::size_t line = 0;
    std::size_t column = 0;
    // The statement, on one line.
    std::string statement;
    std::string reason;
  };

  std::vector<Layer> layers;
  std::size_t chosenLayer = 0;
  // Null when nothing could be imported; `failure` says why.
  store::LayerConfigRef effect;
  std::string failure;
  CodePlatform platform = CodePlatform::macOS;
  std::vector<Note> notes;
  std::size_t settingsKept = 0;
  std::size_t settings = 0;
  std::size_t cells = 0;
  std::size_t subcells = 0;

  bool keptEverything() const { return settingsKept == settings; }

  // "2 emitter layers found; importing `fireworks` (layer 1): 3 cells, 2 sub-cells, 58 of 61
  // emitter settings kept; read as iOS code".
  std::string summary() const;
  // One line per note: "<source>:<line>:<column>: not kept: <statement>: <reason>".
  std::string report(std::string_view sourceName) const;
  // One line per layer found: "1. `emitter` in `setupConfetti`: 3 cells".
  std::string listing() const;
};

}  // namespace tessary::code_editor
