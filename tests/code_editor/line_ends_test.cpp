#include <gtest/gtest.h>

#include <string>

#include "code_editor/text_lines.h"
#include "tessary/code_editor/snippet_line_ends.h"

namespace tessary::code_editor {
namespace {

TEST(LineEndsTest, EditedTextGetsLineFeedsAndTerminatorsAreMeasuredAtTheEnd) {
  struct Case {
    std::string edited, expected;
    NoBreakSpaces spaces;
  };
  for (const Case& row : {Case{"a\r\nb\r\n", "a\nb\n", NoBreakSpaces::keep},
                          Case{"a\rb\r", "a\nb\n", NoBreakSpaces::keep},
                          Case{"\r\n\n\r\r\n", "\n\n\n\n", NoBreakSpaces::keep},
                          Case{"\xEF\xBB\xBFx\xC2\xA0y", "x\xC2\xA0y", NoBreakSpaces::keep},
                          Case{"x\xC2\xA0y\xC2", "x y\xC2", NoBreakSpaces::asSpaces}}) {
    EXPECT_EQ(snippetLineEnds(row.edited, row.spaces), row.expected) << row.edited;
  }
  struct Terminator {
    std::string text;
    std::size_t at, length;
  };
  for (const Terminator& row :
       {Terminator{"a\r\n", 1, 2}, Terminator{"a\r", 1, 1}, Terminator{"\f", 0, 1},
        Terminator{"\xC2\x85", 0, 2}, Terminator{"\xC2", 0, 0}, Terminator{"\xE2\x80\xA9", 0, 3},
        Terminator{"\xE2\x80", 0, 0}, Terminator{"a", 0, 0}}) {
    EXPECT_EQ(TextLines::terminatorLength(row.text, row.at), row.length) << row.text;
  }
}

}  // namespace
}  // namespace tessary::code_editor
