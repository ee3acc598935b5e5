#include "tessary/platform/rtf_renderer.h"

#include <cmath>
#include <cstdint>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "render_support.h"
#include "utf8.h"

namespace tessary::platform {

namespace {

long rounded(double value) {
  return std::isfinite(value) ? std::lround(value) : 0;
}

void appendControl(std::string& out, std::string_view word, long value) {
  out += word;
  out += std::to_string(value);
}

// One UTF-16 code unit as \uN?, N a signed 16-bit number as RTF wants it.
void appendUnit(std::string& out, std::uint16_t unit) {
  appendControl(out, "\\u", static_cast<std::int16_t>(unit));
  out += '?';
}

void appendCodePoint(std::string& out, char32_t codePoint) {
  if (codePoint < 0x10000) {
    appendUnit(out, static_cast<std::uint16_t>(codePoint));
    return;
  }
  const char32_t offset = codePoint - 0x10000;
  appendUnit(out, static_cast<std::uint16_t>(0xD800 + (offset >> 10)));
  appendUnit(out, static_cast<std::uint16_t>(0xDC00 + (offset & 0x3FF)));
}

bool isPlain(unsigned char byte) {
  return byte >= 0x20 && byte < 0x7F && byte != '\\' && byte != '{' && byte != '}';
}

// Text of one line (no line feed) as RTF text.
void appendText(std::string& out, std::string_view text) {
  std::size_t position = 0;
  while (position < text.size()) {
    const auto byte = static_cast<unsigned char>(text[position]);
    if (isPlain(byte)) {
      const std::size_t plainStart = position;
      while (position < text.size() && isPlain(static_cast<unsigned char>(text[position]))) {
        ++position;
      }
      out.append(text.substr(plainStart, position - plainStart));
      continue;
    }
    if (byte == '\\' || byte == '{' || byte == '}') {
      out += '\\';
      out += static_cast<char>(byte);
      ++position;
      continue;
    }
    if (byte == '\t') {
      out += "\\tab ";
      ++position;
      continue;
    }
    const utf8::Sequence sequence = utf8::sequenceAt(text, position);
    const char32_t codePoint = utf8::decode(text, position, sequence.length);
    const std::string_view standIn = rendering::controlStandIn(codePoint);
    if (standIn.empty()) {
      appendCodePoint(out, codePoint);
    } else {
      appendCodePoint(out, utf8::decode(standIn, 0, standIn.size()));
    }
    position += sequence.length;
  }
}

// Table entries numbered in order of first use.
template <typename Key, typename Hash = std::hash<Key>>
class NumberedTable {
 public:
  int numberOf(const Key& key) {
    auto [entry, added] = numbers_.emplace(key, static_cast<int>(keys_.size()));
    if (added) keys_.push_back(key);
    return entry->second;
  }
  const std::vector<Key>& keys() const { return keys_; }

 private:
  std::unordered_map<Key, int, Hash> numbers_;
  std::vector<Key> keys_;
};

struct RgbHash {
  std::size_t operator()(const rendering::Rgb& rgb) const {
    return static_cast<std::size_t>((rgb.red << 16) | (rgb.green << 8) | rgb.blue);
  }
};

// The character formatting in effect; written as the difference to what was in effect before.
struct CharacterFormat {
  int font = -1;
  long halfPoints = -1;
  bool bold = false;
  bool italic = false;
  int color = -1;
  bool underline = false;

  bool operator==(const CharacterFormat&) const = default;
};

struct FontEntry {
  std::string family;
  bool monospaced;
  bool operator==(const FontEntry&) const = default;
};

struct FontEntryHash {
  std::size_t operator()(const FontEntry& entry) const {
    return std::hash<std::string>()(entry.family) ^ (entry.monospaced ? 1 : 0);
  }
};

class Document {
 public:
  Document(const RtfRenderer::Options& options, const MutableAttributedString& text)
      : options_(options), text_(text), formatOfSet_(text.attributeSetCount()) {
    // Colour 0 is the reader's automatic colour; 1 the background, 2 the default text colour.
    colors_.numberOf(rgbOf(options.backgroundColor));
    colors_.numberOf(rgbOf(options.defaultTextColor));
    fonts_.numberOf(fontEntryOf(options.defaultFont));
  }

  std::string render() {
    // The tables are settled first, so that the header comes before the body in one string.
    for (const AttributeRun run : text_.runs()) formatOf(run.setIndex);

    std::string out = header();
    // Room for the text and the control words of each run, so that it is written without moving.
    out.reserve(out.size() + text_.string().size() + text_.runCount() * 8 + 64);
    const std::string_view characters = text_.string();
    std::size_t runIndex = 0;
    for (const rendering::ParagraphBlock& block : rendering::paragraphBlocks(text_)) {
      appendParagraphFormat(out, block.style);
      for (std::size_t position = block.begin; position < block.end;) {
        while (text_.run(runIndex).bytes.end <= position) ++runIndex;
        const AttributeRun run = text_.run(runIndex);
        const std::size_t end = std::min(run.bytes.end, block.end);
        appendSegment(out, run, characters.substr(position, end - position));
        position = end;
      }
    }
    switchLink(out, std::nullopt);
    out += "}\n";
    return out;
  }

 private:
  rendering::Rgb rgbOf(Color color) const {
    return rendering::visibleRgb(color, options_.backgroundColor);
  }

  static FontEntry fontEntryOf(const Font& font) {
    return {std::string(font.familyName()), font.isMonospaced()};
  }

  const CharacterFormat& formatOf(std::size_t setIndex) {
    std::optional<CharacterFormat>& known = formatOfSet_[setIndex];
    if (!known) known = newFormatOf(*text_.attributeSet(setIndex));
    return *known;
  }

  CharacterFormat newFormatOf(const TextAttributes& attributes) {
    const Font& font = attributes.font ? *attributes.font : options_.defaultFont;
    CharacterFormat format;
    format.font = fonts_.numberOf(fontEntryOf(font));
    format.halfPoints = rounded(font.pointSize() * 2.0);
    format.bold = font.isBold();
    format.italic = font.isItalic();
    format.color =
        colors_.numberOf(rgbOf(attributes.foregroundColor.value_or(options_.defaultTextColor))) + 1;
    format.underline = attributes.link.has_value();
    return format;
  }

  void appendSegment(std::string& out, const AttributeRun& run, std::string_view text) {
    const CharacterFormat& format = formatOf(run.setIndex);
    const std::optional<std::string>& link = run.attributes().link;
    while (!text.empty()) {
      const std::size_t lineFeed = text.find('\n');
      const std::string_view line = text.substr(0, lineFeed);
      if (!line.empty()) {
        switchLink(out, link);
        switchFormat(out, format);
        appendText(out, line);
      }
      if (lineFeed == std::string_view::npos) break;
      // Fields end with their line, so paragraph formatting is always set outside them.
      switchLink(out, std::nullopt);
      out += "\\par\n";
      text.remove_prefix(lineFeed + 1);
    }
  }

  void switchFormat(std::string& out, const CharacterFormat& format) {
    if (format == current_) return;
    const std::size_t before = out.size();
    if (format.font != current_.font) appendControl(out, "\\f", format.font);
    if (format.halfPoints != current_.halfPoints) appendControl(out, "\\fs", format.halfPoints);
    if (format.bold != current_.bold) out += format.bold ? "\\b" : "\\b0";
    if (format.italic != current_.italic) out += format.italic ? "\\i" : "\\i0";
    if (format.underline != current_.underline) out += format.underline ? "\\ul" : "\\ulnone";
    if (format.color != current_.color) appendControl(out, "\\cf", format.color);
    if (out.size() != before) out += ' ';
    current_ = format;
  }

  void switchLink(std::string& out, const std::optional<std::string>& link) {
    if (link == openLink_) return;
    if (openLink_) {
      out += "}}";
      // The field's group ends, and with it every format set inside.
      current_ = formatOutsideLink_;
    }
    if (link) {
      out += "{\\field{\\*\\fldinst{HYPERLINK \\\\l \"";
      rendering::appendPercentEncoded(out, *link);
      out += "\"}}{\\fldrslt ";
      formatOutsideLink_ = current_;
    }
    openLink_ = link;
  }

  void appendParagraphFormat(std::string& out, const ParagraphStyle* style) {
    out += "\\pard";
    if (style) {
      appendControl(out, "\\li", rounded(style->headIndent * 20.0));
      appendControl(out, "\\fi", rounded((style->firstLineHeadIndent - style->headIndent) * 20.0));
      switch (style->alignment) {
        case TextAlignment::right:
          out += "\\qr";
          break;
        case TextAlignment::center:
          out += "\\qc";
          break;
        case TextAlignment::justified:
          out += "\\qj";
          break;
        case TextAlignment::left:
        case TextAlignment::natural:
          out += "\\ql";
          break;
      }
    }
    out += '\n';
  }

  std::string header() const {
    std::string out = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\n{\\fonttbl";
    for (std::size_t i = 0; i < fonts_.keys().size(); ++i) {
      const FontEntry& font = fonts_.keys()[i];
      appendControl(out, "{\\f", static_cast<long>(i));
      out += font.monospaced ? "\\fmodern\\fprq1" : "\\fswiss\\fprq2";
      out += "\\fcharset0 ";
      appendText(out, font.family);
      out += ";}";
    }
    out += "}\n{\\colortbl;";
    for (const rendering::Rgb& rgb : colors_.keys()) {
      appendControl(out, "\\red", rgb.red);
      appendControl(out, "\\green", rgb.green);
      appendControl(out, "\\blue", rgb.blue);
      out += ';';
    }
    const rendering::Rgb background = colors_.keys()[0];
    // The page background is a filled rectangle without outline, its colour as 0xBBGGRR.
    out += "}\n{\\*\\background{\\shp{\\*\\shpinst{\\sp{\\sn shapeType}{\\sv 1}}";
    out += "{\\sp{\\sn fillColor}{\\sv ";
    out += std::to_string(background.red + 256 * background.green + 65536 * background.blue);
    out += "}}{\\sp{\\sn fFilled}{\\sv 1}}{\\sp{\\sn fLine}{\\sv 0}}";
    out += "{\\sp{\\sn fBackground}{\\sv 1}}}}}\n";
    out += "\\viewbksp1\\cb1\\chcbpat1\n";
    return out;
  }

  const RtfRenderer::Options& options_;
  const MutableAttributedString& text_;
  NumberedTable<FontEntry, FontEntryHash> fonts_;
  NumberedTable<rendering::Rgb, RgbHash> colors_;
  std::vector<std::optional<CharacterFormat>> formatOfSet_;
  CharacterFormat current_;
  CharacterFormat formatOutsideLink_;
  std::optional<std::string> openLink_;
};

}  // namespace

std::string RtfRenderer::render(const MutableAttributedString& text) const {
  return Document(options_, text).render();
}

}  // namespace tessary::platform
