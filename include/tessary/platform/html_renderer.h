#pragma once

#include <string>
#include <utility>
#include <vector>

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

  // The text line by line, for an editable code view that replaces single lines: each line's runs
  // as <span>s of the classes render() would use, links as <span data-link="VALUE"> around them
  // (a link in an edited element would be followed or grown by typing), every span and link
  // closed at the line's end, without the line feed, paragraph blocks, head or page colours.
  // Escaped, and with control characters shown, as render() does. The lines stand one after
  // another in `html`, line N from `starts[N]` to the next line's start (or the end).
  //
  // `looks` holds the rule of each span class ("sN" is looks[N]); a look not in it yet is
  // appended, so that a caller keeping `looks` from text to text gets an unchanged line written
  // the same, whatever changed around it. `css` has the rules of all of `looks`, one ".sN{…}" a
  // line.
  struct Lines {
    std::string html;
    std::vector<std::size_t> starts;
    std::string css;
  };
  Lines renderLines(const MutableAttributedString& text, std::vector<std::string>& looks) const;

 private:
  Options options_;
};

}  // namespace tessary::platform
