#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace tessary::store {

// The wording of effect-file problems: texts from the file quoted safely and briefly, and the
// place of a problem as a JSON path or as a line and column.
class EffectFileMessages {
 public:
  // Texts from the file quoted in a message are cut to this many bytes.
  static constexpr std::size_t maxQuotedBytes = 60;

  // `text` cut to at most `maxBytes` bytes between two characters, "..." marking a cut.
  static std::string shortened(std::string_view text, std::size_t maxBytes);
  // Control characters (C0, DEL and C1) written as escapes, so that a message stays on one line
  // and cannot drive a terminal; ill-formed UTF-8 as replacement characters.
  static std::string oneLine(std::string_view anyText);
  // A text from the file as a JSON string literal, cut short when long.
  static std::string quotedText(std::string_view text);
  // "/layer/cells/0", or "/" for the document itself.
  static std::string jsonPointer(const std::vector<std::string>& segments);
  // "line 3, column 7" for the character at byte `offset`; columns count characters.
  static std::string lineAndColumn(std::string_view text, std::size_t offset);
  // The part of the JSON library's message that says what is wrong, without its own prefix and
  // position (the position is reported separately, counted in characters).
  static std::string syntaxProblem(const nlohmann::detail::exception& error);
};

}  // namespace tessary::store
