#pragma once

#include "tessary/platform/attributed_string.h"

namespace tessary::platform {

// The attributed text a host's text view shows and the user edits. The host replaces its
// contents with each new snippet; restyling (a new text size) adds attributes over a range.
class TextStorage : public MutableAttributedString {
 public:
  using MutableAttributedString::MutableAttributedString;

  void setAttributedString(const MutableAttributedString& text) {
    MutableAttributedString::operator=(text);
  }
};

}  // namespace tessary::platform
