#include "tessary/platform/well_formed_utf8.h"

#include "utf8.h"

namespace tessary::platform {

bool isWellFormedUtf8(std::string_view text) {
  return utf8::measure(text).valid;
}

std::optional<std::size_t> firstIllFormedUtf8Offset(std::string_view text) {
  std::size_t position = 0;
  while (position < text.size()) {
    const utf8::Sequence sequence = utf8::sequenceAt(text, position);
    if (!sequence.valid) return position;
    position += sequence.length;
  }
  return std::nullopt;
}

std::string wellFormedUtf8(std::string_view text) {
  return utf8::repaired(text);
}

}  // namespace tessary::platform
