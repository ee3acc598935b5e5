#pragma once

#include <string>

#include "tessary/platform/attributed_string.h"

namespace tessary::tool {

// The coloured snippet as a piece of HTML for a page that shows it in an element of its own: one
// <span class="sN"> per run, and a style sheet with one rule per look. Runs with a link carry the
// link's value in data-link and the class "link". Everything from the text is escaped, and control
// characters other than tab and line feed become U+FFFD, so no name can put markup into the page.
// The style sheet is made of numbers only.
struct SnippetFragment {
  std::string html;
  std::string css;  // rules for ".sN" selectors
};

SnippetFragment renderSnippetFragment(const platform::MutableAttributedString& text);

// `text` with &, <, >, " and ' as character references and control characters replaced.
std::string escapeHtml(std::string_view text);

}  // namespace tessary::tool
