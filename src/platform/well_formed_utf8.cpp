#include "tessary/platform/well_formed_utf8.h"

#include "utf8.h"

namespace tessary::platform {

bool isWellFormedUtf8(std::string_view text) {
  return utf8::measure(text).valid;
}

std::string wellFormedUtf8(std::string_view text) {
  return utf8::repaired(text);
}

}  // namespace tessary::platform
