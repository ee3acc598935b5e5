#pragma once

#include <string>
#include <utility>

#include "tessary/platform/attributed_string.h"
#include "tessary/platform/color.h"
#include "tessary/platform/font.h"

namespace tessary::platform {

// Attributed text as a standalone HTML page in UTF-8.
//
// The text stands in <pre> elements, one for each stretch of lines with equal paragraph
// styles: the head indent becomes padding-left, the first-line indent a text-indent relative
// to it, the alignment text-align; lines wrap at the page edge and wrapped lines keep the head
// indent. Fonts and colours go into CSS classes, one per distinct look, used by <span>s.
//
// Links: a link's value is any text, not a URL ("0: Import"), so it is never used as an
// address. Each link is <a href="#ENCODED" data-link="VALUE">: the value is carried verbatim
// (escaped) in data-link for a script to read, and percent-encoded (every byte but ASCII
// letters, digits and "-._~") as the fragment, so following it stays on the page.
//
// Everything from the text, the link values and the title is escaped (&, <, >, " and '), and
// control characters other than tab and line feed are shown as visible stand-ins.
class HtmlRenderer {
 public:
  struct Options {
    std::string title;
    Color backgroundColor = Color::colorWithWhite(0.12, 1.0);
    Color defaultTextColor = Color::whiteColor();
    // The font of text that has no font.
    Font defaultFont = Font::fontWithNameOrSystemFont("Menlo Regular", 12.0);
  };

  HtmlRenderer() = default;
  explicit HtmlRenderer(Options options) : options_(std::move(options)) {}

  std::string render(const MutableAttributedString& text) const;

  // The text for an element of a page of its own, such as an editable code view: the runs as
  // <span>s of the classes render() would use, links as <span data-link="VALUE"> around them,
  // without paragraph blocks, head or page colours; and the rules of those classes, one
  // ".sN{…}" a line. Escaped, and with control characters shown, as render() does.
  struct Fragment {
    std::string html;
    std::string css;
  };
  Fragment renderFragment(const MutableAttributedString& text) const;

 private:
  Options options_;
};

}  // namespace tessary::platform
