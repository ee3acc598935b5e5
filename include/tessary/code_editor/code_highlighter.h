#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "tessary/platform/attributed_string.h"
#include "tessary/platform/color.h"
#include "tessary/platform/text_attributes.h"
#include "tessary/platform/text_storage.h"
#include "tessary/platform/token_class.h"

namespace tessary::code_editor {

// The snippet's look on a dark background: a colour per token class, white for other text.
struct CodeTheme {
  double fontSize;
  platform::Color plainTextColor;
  std::array<platform::Color, platform::tokenClassCount> tokenColors;
  platform::Color backgroundColor;
};

// Colours snippet text by Swift token class and lays the snippet's font and paragraph layout
// over it; makes the look of a line the user is changing right now (bold green, uncoloured);
// restyles a host's text storage for a new text size.
//
// The attribute sets for one text size are made once and shared by every run of every piece
// coloured at that size, and by copies of the highlighter.
class CodeHighlighter {
 public:
  explicit CodeHighlighter(double textSize);

  // The colour of each token class.
  static const std::array<platform::Color, platform::tokenClassCount>& colors();
  static const CodeTheme& theme();

  double textSize() const { return textSize_; }
  const std::optional<platform::TextAttributes>& regularTextAttributes() const {
    return styles_->regular;
  }
  const std::optional<platform::TextAttributes>& changedTextAttributes() const {
    return styles_->changed;
  }

  // `code` coloured by token class, every character in the regular font and paragraph style.
  platform::MutableAttributedString highlight(std::string_view code) const;
  // Appends `code` coloured as `highlight` colours it to `result`, using the room it has.
  void appendHighlighted(std::string_view code, platform::MutableAttributedString& result) const;
  // What colouring many pieces into one string reuses from piece to piece: which of the string's
  // sets are the highlighter's, and room for a piece's runs. One per string and highlighter.
  struct AppendState {
    std::vector<std::uint32_t> setsInResult;
    std::vector<platform::MutableAttributedString::KeptRun> runs;
  };
  // The same as appendHighlighted(code, result), faster for many short pieces: an ASCII piece's
  // runs are made in the highlighter's own table of sets and mapped to the result's through
  // `state`.
  void appendHighlighted(std::string_view code, platform::MutableAttributedString& result,
                         AppendState& state) const;
  // `code` with the changed look over all of it and no token colours.
  platform::MutableAttributedString highlightChanged(std::string_view code) const;

  // One point larger or smaller, without bounds; restyles `storage` (when given) with the new
  // regular font and paragraph style, leaving its colours as they are.
  void textSizeIncreased(bool increased, platform::TextStorage* storage);

 private:
  struct Styles {
    std::optional<platform::TextAttributes> regular;
    std::optional<platform::TextAttributes> changed;
    platform::AttributeSet plainSet;
    std::array<platform::AttributeSet, platform::tokenClassCount> tokenSets;
    platform::AttributeSet changedSet;
    // The distinct sets of plain text and the token classes, plain first, and each class's place
    // among them.
    std::vector<platform::AttributeSet> palette;
    std::array<std::uint32_t, platform::tokenClassCount> paletteIndexOfClass{};
  };
  static std::shared_ptr<const Styles> makeStyles(double textSize);

  double textSize_;
  std::shared_ptr<const Styles> styles_;
};

}  // namespace tessary::code_editor
