#pragma once

#include <string>
#include <string_view>

namespace tessary::code_editor {

// What to do with the no-break spaces (U+00A0) of edited text. A browser puts them into text
// edited in a page where the snippet had plain spaces; an editor does not.
enum class NoBreakSpaces { keep, asSpaces };

// Edited text as the snippet's own kind of text: CRLF and lone CR line ends become LF, and a
// leading byte-order mark is dropped.
std::string snippetLineEnds(std::string_view edited,
                            NoBreakSpaces noBreakSpaces = NoBreakSpaces::keep);

}  // namespace tessary::code_editor
