#include "tessary/platform/ansi_renderer.h"

#include <string_view>
#include <unordered_map>
#include <vector>

#include "render_support.h"
#include "utf8.h"

namespace tessary::platform {

namespace {

constexpr std::string_view kReset = "\x1b[0m";
constexpr std::string_view kEraseToLineEnd = "\x1b[K";
constexpr int kNoStyle = -1;

void appendRgb(std::string& out, std::string_view selector, rendering::Rgb rgb) {
  out += selector;
  out += std::to_string(rgb.red);
  out += ';';
  out += std::to_string(rgb.green);
  out += ';';
  out += std::to_string(rgb.blue);
}

// Line feeds are handled before text reaches here; every other control character, and the
// lead byte of a possible C1 control, needs a closer look.
bool needsCloserLook(unsigned char byte) {
  return byte < 0x20 || byte == 0x7F || byte == 0xC2;
}

void appendText(std::string& out, std::string_view text) {
  std::size_t plainStart = 0;
  std::size_t position = 0;
  while (position < text.size()) {
    const auto byte = static_cast<unsigned char>(text[position]);
    if (!needsCloserLook(byte)) {
      ++position;
      continue;
    }
    const std::size_t length = byte == 0xC2 ? 2 : 1;
    const std::string_view standIn =
        rendering::controlStandIn(utf8::decode(text, position, length));
    if (!standIn.empty()) {
      out.append(text.substr(plainStart, position - plainStart));
      out.append(standIn);
      plainStart = position + length;
    }
    position += length;
  }
  out.append(text.substr(plainStart));
}

// The select-graphic-rendition sequence of each attribute set of one text, made on first use.
// Equal sequences share one number, so runs that look alike are written without a new escape.
class Styles {
 public:
  Styles(const AnsiRenderer::Options& options, const MutableAttributedString& text)
      : options_(options), text_(text), styleOfSet_(text.attributeSetCount(), kUnknown) {}

  int styleOf(std::size_t setIndex) {
    int& style = styleOfSet_[setIndex];
    if (style != kUnknown) return style;
    const std::string sequence = sequenceOf(*text_.attributeSet(setIndex));
    auto [entry, added] = bySequence_.emplace(sequence, static_cast<int>(sequences_.size()));
    if (added) sequences_.push_back(sequence);
    style = entry->second;
    return style;
  }

  const std::string& sequence(int style) const { return sequences_[style]; }

  std::string backgroundOnly() const {
    std::string sequence = "\x1b[0";
    appendBackground(sequence);
    return sequence + "m";
  }

 private:
  static constexpr int kUnknown = -2;

  std::string sequenceOf(const TextAttributes& attributes) const {
    std::string sequence = "\x1b[0";
    if (attributes.font && attributes.font->isBold()) sequence += ";1";
    if (attributes.font && attributes.font->isItalic()) sequence += ";3";
    if (attributes.link) sequence += ";4";
    Color color = attributes.foregroundColor.value_or(options_.defaultTextColor);
    if (!options_.backgroundColor) color.alpha = 1.0;
    appendRgb(sequence, ";38;2;",
              rendering::visibleRgb(color, options_.backgroundColor.value_or(Color{})));
    appendBackground(sequence);
    return sequence + "m";
  }

  void appendBackground(std::string& sequence) const {
    if (!options_.backgroundColor) return;
    Color background = *options_.backgroundColor;
    background.alpha = 1.0;
    appendRgb(sequence, ";48;2;", rendering::visibleRgb(background, background));
  }

  const AnsiRenderer::Options& options_;
  const MutableAttributedString& text_;
  std::vector<int> styleOfSet_;
  std::unordered_map<std::string, int> bySequence_;
  std::vector<std::string> sequences_;
};

}  // namespace

std::string AnsiRenderer::render(const MutableAttributedString& text) const {
  std::string out;
  // Room for the text and an escape per run, so that a long text is written without moving.
  out.reserve(text.string().size() + text.runCount() * 24 + 64);
  Styles styles(options_, text);
  const std::string fillLine = options_.backgroundColor ? styles.backgroundOnly() : std::string();
  int active = kNoStyle;
  const auto endLine = [&] {
    if (options_.backgroundColor) {
      if (active == kNoStyle) out += fillLine;
      out += kEraseToLineEnd;
      out += kReset;
    } else if (active != kNoStyle) {
      out += kReset;
    }
    active = kNoStyle;
  };

  const std::string_view characters = text.string();
  for (const AttributeRun run : text.runs()) {
    const int style = styles.styleOf(run.setIndex);
    std::string_view rest = characters.substr(run.bytes.begin, run.bytes.size());
    while (!rest.empty()) {
      const std::size_t lineFeed = rest.find('\n');
      const std::string_view line = rest.substr(0, lineFeed);
      if (!line.empty()) {
        if (active != style) {
          out += styles.sequence(style);
          active = style;
        }
        appendText(out, line);
      }
      if (lineFeed == std::string_view::npos) break;
      endLine();
      out += '\n';
      rest.remove_prefix(lineFeed + 1);
    }
  }
  if (!characters.empty() && characters.back() != '\n') endLine();
  return out;
}

}  // namespace tessary::platform
