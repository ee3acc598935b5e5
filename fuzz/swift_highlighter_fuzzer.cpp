// Any bytes as Swift source: the tokens come in order, never overlap, are never empty and never
// split a character; the coloured text holds exactly the input (ill-formed UTF-8 repaired), and
// every token starts in its class's colour.

#include "fuzz_support.h"
#include "tessary/code_editor/code_highlighter.h"
#include "tessary/platform/swift_tokenizer.h"
#include "tessary/platform/utf16_length.h"
#include "tessary/platform/well_formed_utf8.h"

using namespace tessary::platform;
using tessary::code_editor::CodeHighlighter;
using tessary::fuzzing::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view source = tessary::fuzzing::textOf(data, size);
  const std::vector<Token> tokens = SwiftTokenizer::tokenize(source);
  const std::vector<bool> boundaries = tessary::fuzzing::characterBoundaries(source);
  std::size_t previousEnd = 0;
  SwiftTokenizer stepwise(source);
  for (const Token& token : tokens) {
    require(previousEnd <= token.begin && token.begin < token.end && token.end <= source.size(),
            "tokens are in order, never empty, never overlapping, inside the source");
    require(boundaries[token.begin] && boundaries[token.end], "tokens never split a character");
    require(stepwise.next() == token, "stepping gives the tokens tokenize gives");
    previousEnd = token.end;
  }
  require(!stepwise.next(), "stepping ends where tokenize ends");

  static const CodeHighlighter highlighter(12.0);
  const MutableAttributedString coloured = highlighter.highlight(source);
  require(coloured.string() == wellFormedUtf8(source), "the coloured text is the input, repaired");
  require(coloured.length() == utf16Length(coloured.string()), "the length is in UTF-16 units");
  const bool wellFormed = isWellFormedUtf8(source);
  for (const Token& token : tokens) {
    require(!wellFormed ||
                coloured.attributesAt(utf16Length(source.substr(0, token.begin))).foregroundColor ==
                    CodeHighlighter::colors()[static_cast<std::size_t>(token.tokenClass)],
            "a token starts in its class's colour");
  }
  const MutableAttributedString changed = highlighter.highlightChanged(source);
  require(changed.string() == coloured.string() && changed.runCount() <= 1,
          "the changed look is the same text in one run");
  return 0;
}
