#pragma once

#include <string>

#include "tessary/platform/attributed_string.h"
#include "tessary/platform/color.h"
#include "tessary/platform/font.h"

namespace tessary::platform {

// Attributed text as an RTF document that desktop word processors and text views open.
//
// The font table lists the font families in use, the colour table the colours; sizes are in
// half-points (\fs), indents in twips (\li, \fi), bold and italic as \b and \i. Every
// character beyond ASCII is written as \uN? escapes of its UTF-16 code units (two for a
// character beyond the Basic Multilingual Plane), so the document itself is plain ASCII.
//
// The dark background is given twice: as the page background, for readers that show one, and
// behind the characters (\cb, \chcbpat), for readers that do not, so light text never stands
// on a white page.
//
// Links become HYPERLINK fields. A link's value is any text, not a URL ("0: Import"), so it is
// written as a link to a place in the document (\l), percent-encoded like the fragment of the
// HTML rendering, and opening it never reaches outside the document.
class RtfRenderer {
 public:
  struct Options {
    Color backgroundColor = Color::colorWithWhite(0.12, 1.0);
    Color defaultTextColor = Color::whiteColor();
    // The font of text that has no font.
    Font defaultFont = Font::fontWithNameOrSystemFont("Menlo Regular", 12.0);
  };

  RtfRenderer() = default;
  explicit RtfRenderer(Options options) : options_(options) {}

  std::string render(const MutableAttributedString& text) const;

 private:
  Options options_;
};

}  // namespace tessary::platform
