// Any bytes as Swift source: the tokens come in order, never overlap, are never empty and never
// split a character; the coloured text holds exactly the input (ill-formed UTF-8 repaired), its
// runs cover it without gaps or overlaps, and every token starts in its class's colour.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "tessary/code_editor/code_highlighter.h"
#include "tessary/platform/attributed_string.h"
#include "tessary/platform/swift_tokenizer.h"
#include "tessary/platform/utf16_length.h"
#include "tessary/platform/well_formed_utf8.h"

namespace {

using tessary::code_editor::CodeHighlighter;
using tessary::fuzzing::require;
using tessary::platform::MutableAttributedString;
using tessary::platform::SwiftTokenizer;
using tessary::platform::Token;

void checkTokens(std::string_view source) {
  const std::vector<Token> tokens = SwiftTokenizer::tokenize(source);
  const std::vector<bool> boundaries = tessary::fuzzing::characterBoundaries(source);
  std::size_t previousEnd = 0;
  SwiftTokenizer stepwise(source);
  for (const Token& token : tokens) {
    require(token.begin < token.end, "tokens are never empty");
    require(token.begin >= previousEnd, "tokens come in order and never overlap");
    require(token.end <= source.size(), "tokens stay inside the source");
    require(boundaries[token.begin] && boundaries[token.end], "tokens never split a character");
    const std::optional<Token> next = stepwise.next();
    require(next && *next == token, "stepping gives the tokens tokenize gives");
    previousEnd = token.end;
  }
  require(!stepwise.next(), "stepping ends where tokenize ends");
}

void checkRuns(const MutableAttributedString& text) {
  std::size_t utf16 = 0;
  std::size_t byte = 0;
  const tessary::platform::TextAttributes* previous = nullptr;
  for (const auto& run : text.runs()) {
    require(run.range.location == utf16 && run.bytes.begin == byte, "runs leave no gap");
    require(run.range.length > 0 && run.bytes.end > run.bytes.begin, "runs are never empty");
    require(previous == nullptr || *previous != run.attributes(), "neighbouring runs differ");
    previous = &run.attributes();
    utf16 = run.range.location + run.range.length;
    byte = run.bytes.end;
  }
  require(utf16 == text.length() && byte == text.string().size(), "runs cover the whole text");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view source = tessary::fuzzing::textOf(data, size);
  const bool wellFormed = tessary::platform::isWellFormedUtf8(source);
  checkTokens(source);

  static const CodeHighlighter highlighter(12.0);
  const MutableAttributedString coloured = highlighter.highlight(source);
  require(tessary::platform::isWellFormedUtf8(coloured.string()), "coloured text is UTF-8");
  require(coloured.length() == tessary::platform::utf16Length(coloured.string()),
          "the length counts UTF-16 code units");
  if (wellFormed) {
    require(coloured.string() == source, "the coloured text is the input");
    for (const Token& token : SwiftTokenizer::tokenize(source)) {
      const auto& attributes =
          coloured.attributesAt(tessary::platform::utf16Length(source.substr(0, token.begin)));
      require(attributes.foregroundColor ==
                  CodeHighlighter::colors()[static_cast<std::size_t>(token.tokenClass)],
              "a token starts in its class's colour");
    }
  }
  checkRuns(coloured);

  const MutableAttributedString changed = highlighter.highlightChanged(source);
  require(changed.string() == coloured.string(), "the changed look holds the same text");
  require(changed.runCount() == (changed.empty() ? 0u : 1u), "the changed look is one run");
  checkRuns(changed);
  return 0;
}
