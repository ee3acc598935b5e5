#include "tessary/code_editor/code_highlighter.h"

#include <algorithm>

#include "platform/utf8.h"
#include "tessary/platform/fatal_error.h"
#include "tessary/platform/font.h"
#include "tessary/platform/paragraph_style.h"
#include "tessary/platform/swift_tokenizer.h"

namespace tessary::code_editor {

namespace {

using platform::Color;
using platform::TextAttributes;

constexpr Color rgb255(int red, int green, int blue) {
  return Color::colorWithRed(red / 255.0, green / 255.0, blue / 255.0, 1.0);
}

platform::ParagraphStyle paragraphStyle(double textSize) {
  platform::ParagraphStyle style;
  style.alignment = platform::TextAlignment::left;
  style.headIndent = 1.36 * textSize;
  style.firstLineHeadIndent = 1.36 * textSize;
  return style;
}

}  // namespace

const std::array<Color, platform::tokenClassCount>& CodeHighlighter::colors() {
  // In the order of TokenClass: keyword, string, type, call, number, comment, property,
  // dot access, preprocessing.
  static constexpr std::array<Color, platform::tokenClassCount> kColors{
      rgb255(198, 44, 157), rgb255(219, 44, 56),   rgb255(20, 180, 210),
      rgb255(20, 180, 210), rgb255(140, 139, 196), rgb255(85, 202, 89),
      rgb255(20, 180, 210), rgb255(20, 180, 210),  rgb255(198, 124, 72),
  };
  return kColors;
}

const CodeTheme& CodeHighlighter::theme() {
  static const CodeTheme kTheme{15.0, Color::whiteColor(), colors(),
                                Color::colorWithWhite(0.12, 1.0)};
  return kTheme;
}

CodeHighlighter::CodeHighlighter(double textSize)
    : textSize_(textSize), styles_(makeStyles(textSize)) {}

std::shared_ptr<const CodeHighlighter::Styles> CodeHighlighter::makeStyles(double textSize) {
  auto styles = std::make_shared<Styles>();
  styles->regular =
      TextAttributes{platform::Font::fontWithNameOrSystemFont("Menlo Regular", textSize),
                     std::nullopt, paragraphStyle(textSize), std::nullopt};
  styles->changed = TextAttributes{platform::Font::fontWithNameOrSystemFont("Menlo Bold", textSize),
                                   Color::greenColor(), paragraphStyle(textSize), std::nullopt};

  TextAttributes plain = *styles->regular;
  plain.foregroundColor = theme().plainTextColor;
  styles->plainSet = platform::makeAttributeSet(plain);
  // Classes of one colour share one set, so that strings find it by pointer rather than by
  // comparing values.
  for (std::size_t i = 0; i < platform::tokenClassCount; ++i) {
    const auto first = colors().begin();
    const auto sameColour = std::find(first, first + static_cast<std::ptrdiff_t>(i), colors()[i]);
    if (sameColour != first + static_cast<std::ptrdiff_t>(i)) {
      styles->tokenSets[i] = styles->tokenSets[static_cast<std::size_t>(sameColour - first)];
      continue;
    }
    TextAttributes token = *styles->regular;
    token.foregroundColor = colors()[i];
    styles->tokenSets[i] = platform::makeAttributeSet(token);
  }
  styles->changedSet = platform::makeAttributeSet(*styles->changed);
  styles->palette.push_back(styles->plainSet);
  for (std::size_t i = 0; i < platform::tokenClassCount; ++i) {
    const auto known = std::ranges::find(styles->palette, styles->tokenSets[i]);
    styles->paletteIndexOfClass[i] = static_cast<std::uint32_t>(known - styles->palette.begin());
    if (known == styles->palette.end()) styles->palette.push_back(styles->tokenSets[i]);
  }
  return styles;
}

platform::MutableAttributedString CodeHighlighter::highlight(std::string_view code) const {
  platform::MutableAttributedString result;
  result.reserve(code.size(), 0);
  appendHighlighted(code, result);
  return result;
}

void CodeHighlighter::appendHighlighted(std::string_view code,
                                        platform::MutableAttributedString& result) const {
  std::size_t plainStart = 0;
  platform::SwiftTokenizer::visit(
      code, [&](platform::TokenClass tokenClass, std::uint32_t begin, std::uint32_t end) {
        if (begin > plainStart) {
          result.append(code.substr(plainStart, begin - plainStart), styles_->plainSet);
        }
        result.append(code.substr(begin, end - begin),
                      styles_->tokenSets[static_cast<std::size_t>(tokenClass)]);
        plainStart = end;
      });
  if (plainStart < code.size()) result.append(code.substr(plainStart), styles_->plainSet);
}

void CodeHighlighter::appendHighlighted(std::string_view code,
                                        platform::MutableAttributedString& result,
                                        AppendState& state) const {
  if (!platform::utf8::isAscii(code)) {
    appendHighlighted(code, result);
    return;
  }
  constexpr std::uint32_t kPlain = 0;
  std::vector<platform::MutableAttributedString::KeptRun>& runs = state.runs;
  runs.clear();
  // In ASCII a byte is one UTF-16 code unit.
  const auto add = [&](std::uint32_t begin, std::uint32_t setIndex) {
    if (runs.empty() || runs.back().setIndex != setIndex) runs.push_back({begin, begin, setIndex});
  };
  std::uint32_t plainStart = 0;
  platform::SwiftTokenizer::visit(
      code, [&](platform::TokenClass tokenClass, std::uint32_t begin, std::uint32_t end) {
        if (begin > plainStart) add(plainStart, kPlain);
        add(begin, styles_->paletteIndexOfClass[static_cast<std::size_t>(tokenClass)]);
        plainStart = end;
      });
  if (plainStart < code.size()) add(plainStart, kPlain);
  result.appendColoured(code, code.size(), runs, styles_->palette, state.setsInResult);
}

platform::MutableAttributedString CodeHighlighter::highlightChanged(std::string_view code) const {
  if (!styles_->changed) platform::fatalError("Cannot create attributed string");
  return platform::MutableAttributedString(std::string(code), styles_->changedSet);
}

void CodeHighlighter::textSizeIncreased(bool increased, platform::TextStorage* storage) {
  textSize_ += increased ? 1.0 : -1.0;
  styles_ = makeStyles(textSize_);
  if (storage != nullptr) {
    const TextAttributes restyle{styles_->regular->font, std::nullopt,
                                 styles_->regular->paragraphStyle, std::nullopt};
    storage->addAttributes(restyle, {0, storage->length()});
  }
}

}  // namespace tessary::code_editor
