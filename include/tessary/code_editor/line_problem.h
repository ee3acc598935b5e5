#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tessary/code_editor/code_history.h"
#include "tessary/platform/ns_range.h"

namespace tessary::code_editor {

// Why the analysis could not use one line of an edited snippet, so that a host can tell the
// person what to mend.
struct LineProblem {
  enum class Reason : std::uint8_t {
    lineMissing,     // no line of the edited text begins as the built line did
    notEditable,     // the line changed, but the snippet cannot change what it shows
    shapeLost,       // the line no longer has the shape of its property's line
    numberMissing,   // nothing stands where a number belongs
    notANumber,      // `text` stands where a number belongs
    numberTooLarge,  // the number has too many digits to be stored
    stillTyping,     // the number is unfinished ("1.", ".")
  };

  Reason reason;
  // The built line the problem is about: its property and cell.
  CodeHistory record;
  // Where the line stands in the edited text (from its fixed beginning to its end); absent for
  // `lineMissing`.
  std::optional<platform::StringRange> line;
  // For a reason about a number: the text the number follows on its line ("=", "green:", "y:").
  std::string_view label;
  // For `notANumber`: the text that stands in the number's place.
  std::string text;
};

}  // namespace tessary::code_editor
