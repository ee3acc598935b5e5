#include "tessary/platform/html_renderer.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "render_support.h"
#include "utf8.h"

namespace tessary::platform {

namespace {

constexpr int kNoClass = -1;

bool needsCloserLook(unsigned char byte) {
  static constexpr std::array<bool, 256> kCloserLook = [] {
    std::array<bool, 256> table{};
    for (const unsigned char markup : {'&', '<', '>', '"', '\''}) table[markup] = true;
    for (unsigned char control = 0; control < 0x20; ++control) {
      table[control] = control != '\t' && control != '\n';
    }
    table[0x7F] = true;
    table[0xC2] = true;  // the lead byte of the C1 controls
    return table;
  }();
  return kCloserLook[byte];
}

// Text, or an attribute value in double quotes, with markup characters as references.
void appendEscaped(std::string& out, std::string_view text) {
  std::size_t plainStart = 0;
  std::size_t position = 0;
  while (position < text.size()) {
    const auto byte = static_cast<unsigned char>(text[position]);
    if (!needsCloserLook(byte)) {
      ++position;
      continue;
    }
    std::string_view replacement;
    std::size_t length = 1;
    switch (byte) {
      case '&':
        replacement = "&amp;";
        break;
      case '<':
        replacement = "&lt;";
        break;
      case '>':
        replacement = "&gt;";
        break;
      case '"':
        replacement = "&quot;";
        break;
      case '\'':
        replacement = "&#39;";
        break;
      default:
        length = byte == 0xC2 ? 2 : 1;
        replacement = rendering::controlStandIn(utf8::decode(text, position, length));
    }
    if (!replacement.empty()) {
      out.append(text.substr(plainStart, position - plainStart));
      out.append(replacement);
      plainStart = position + length;
    }
    position += length;
  }
  out.append(text.substr(plainStart));
}

void appendHex(std::string& out, int channel) {
  static constexpr char kHex[] = "0123456789abcdef";
  out.push_back(kHex[(channel >> 4) & 0x0F]);
  out.push_back(kHex[channel & 0x0F]);
}

// Opaque colours as #rrggbb, others as rgba() for the browser to blend.
void appendCssColor(std::string& out, Color color) {
  const rendering::Rgb rgb = rendering::visibleRgb({color.red, color.green, color.blue, 1.0}, {});
  if (color.alpha >= 1.0) {
    out += '#';
    appendHex(out, rgb.red);
    appendHex(out, rgb.green);
    appendHex(out, rgb.blue);
    return;
  }
  out += "rgba(" + std::to_string(rgb.red) + "," + std::to_string(rgb.green) + "," +
         std::to_string(rgb.blue) + ",";
  rendering::appendDecimal(out, color.alpha < 0.0 ? 0.0 : color.alpha, 3);
  out += ')';
}

// A CSS string holding a font family name; anything that could end the string or the style
// element is written as a hexadecimal escape.
void appendCssString(std::string& out, std::string_view text) {
  out += '"';
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == '"' || byte == '\\' || byte == '<' || byte == '>' || byte == '&' || byte < 0x20 ||
        byte == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\%x ", byte);
      out += escape;
    } else {
      out.push_back(c);
    }
  }
  out += '"';
}

void appendFont(std::string& out, const Font& font) {
  out += "font-family:";
  appendCssString(out, font.familyName());
  out += font.isMonospaced() ? ",ui-monospace,monospace" : ",system-ui,sans-serif";
  out += ";font-size:";
  rendering::appendDecimal(out, font.pointSize(), 2);
  out += "px;font-weight:";
  out += font.isBold() ? "bold" : "normal";
  out += ";font-style:";
  out += font.isItalic() ? "italic" : "normal";
}

std::string_view cssAlignment(TextAlignment alignment) {
  switch (alignment) {
    case TextAlignment::left:
      return "left";
    case TextAlignment::right:
      return "right";
    case TextAlignment::center:
      return "center";
    case TextAlignment::justified:
      return "justify";
    case TextAlignment::natural:
      break;
  }
  return "start";
}

std::string paragraphCss(const ParagraphStyle& style) {
  std::string css = "text-align:";
  css += cssAlignment(style.alignment);
  css += ";padding-left:";
  rendering::appendDecimal(css, style.headIndent > 0.0 ? style.headIndent : 0.0, 2);
  css += "px";
  if (style.firstLineHeadIndent != style.headIndent) {
    // Every paragraph's first line, where the browser knows "each-line"; otherwise the first.
    std::string indent;
    rendering::appendDecimal(indent, style.firstLineHeadIndent - style.headIndent, 2);
    css += ";text-indent:" + indent + "px;text-indent:" + indent + "px each-line";
  }
  return css;
}

// CSS classes for the looks in use, numbered in order of first use so that the same text
// always gives the same page.
class ClassTable {
 public:
  int classOf(const std::string& css) {
    auto [entry, added] = byCss_.emplace(css, static_cast<int>(rules_.size()));
    if (added) rules_.push_back(css);
    return entry->second;
  }
  std::size_t size() const { return rules_.size(); }
  const std::vector<std::string>& rules() const { return rules_; }

  void appendRules(std::string& out, char prefix) const {
    for (std::size_t i = 0; i < rules_.size(); ++i) {
      out += '.';
      out += prefix;
      out += std::to_string(i);
      out += '{';
      out += rules_[i];
      out += "}\n";
    }
  }

 private:
  std::unordered_map<std::string, int> byCss_;
  std::vector<std::string> rules_;
};

// Writes a page, or the lines for a page's own element; the two share span classes and escaping.
class Markup {
 public:
  // A page links with <a>; lines live in an element that may be edited, where a link would be
  // followed or grown by typing, so they mark links with a <span> a script reads.
  enum class Form { page, lines };

  Markup(const HtmlRenderer::Options& options, const MutableAttributedString& text, Form form)
      : options_(options),
        text_(text),
        linkTag_(form == Form::page ? "a" : "span"),
        spanClassOfSet_(text.attributeSetCount(), kUnknown) {}

  std::string page() {
    // Classes are settled first, so that the head comes before the body in one string.
    const std::vector<rendering::ParagraphBlock> blocks = rendering::paragraphBlocks(text_);
    std::vector<int> blockClasses;
    blockClasses.reserve(blocks.size());
    for (const rendering::ParagraphBlock& block : blocks) {
      blockClasses.push_back(block.style ? paragraphClasses_.classOf(paragraphCss(*block.style))
                                         : kNoClass);
    }
    settleSpanClasses();

    std::string out = head();
    reserveForText(out, blocks.size());
    for (std::size_t b = 0; b < blocks.size(); ++b) {
      out += "<pre";
      if (blockClasses[b] != kNoClass) appendClass(out, 'p', blockClasses[b]);
      // A line feed right after <pre> is dropped by the parser; this one keeps the text's own.
      out += ">\n";
      appendRuns(out, blocks[b].begin, blocks[b].end);
      out += "</pre>\n";
    }
    out += "</body>\n</html>\n";
    return out;
  }

  HtmlRenderer::Lines lines(std::vector<std::string>& looks) {
    for (const std::string& look : looks) spanClasses_.classOf(look);
    settleSpanClasses();
    HtmlRenderer::Lines lines;
    reserveForText(lines.html, 0);
    const std::string_view characters = text_.string();
    for (std::size_t begin = 0;;) {
      const std::size_t lineFeed = characters.find('\n', begin);
      const std::size_t end = lineFeed == std::string_view::npos ? characters.size() : lineFeed;
      lines.starts.push_back(lines.html.size());
      appendRuns(lines.html, begin, end);
      if (lineFeed == std::string_view::npos) break;
      begin = lineFeed + 1;
    }
    looks = spanClasses_.rules();
    spanClasses_.appendRules(lines.css, 's');
    return lines;
  }

 private:
  static constexpr int kUnknown = -2;

  static void appendClass(std::string& out, char prefix, int index) {
    out += " class=\"";
    out += prefix;
    out += std::to_string(index);
    out += '"';
  }

  void settleSpanClasses() {
    for (const AttributeRun run : text_.runs()) spanClassOf(run.setIndex);
    spanOpenings_.reserve(spanClasses_.size());
    for (std::size_t i = 0; i < spanClasses_.size(); ++i) {
      std::string opening = "<span";
      appendClass(opening, 's', static_cast<int>(i));
      opening += '>';
      spanOpenings_.push_back(std::move(opening));
    }
  }

  // Room for the text and a span per run, so that a long text is written without moving.
  void reserveForText(std::string& out, std::size_t blockCount) const {
    out.reserve(out.size() + text_.string().size() + text_.runCount() * 32 + blockCount * 32 + 64);
  }

  // The characters from `begin` to `end` in their spans and links, all closed at the end.
  void appendRuns(std::string& out, std::size_t begin, std::size_t end) {
    const std::string_view characters = text_.string();
    for (std::size_t position = begin; position < end;) {
      while (text_.run(runIndex_).bytes.end <= position) ++runIndex_;
      const AttributeRun run = text_.run(runIndex_);
      const std::size_t runEnd = std::min(run.bytes.end, end);
      switchLink(out, run.attributes().link);
      switchSpan(out, spanClassOf(run.setIndex));
      appendEscaped(out, characters.substr(position, runEnd - position));
      position = runEnd;
    }
    switchSpan(out, kNoClass);
    switchLink(out, std::nullopt);
  }

  int spanClassOf(std::size_t setIndex) {
    int& spanClass = spanClassOfSet_[setIndex];
    if (spanClass != kUnknown) return spanClass;
    const TextAttributes& attributes = *text_.attributeSet(setIndex);
    std::string css;
    if (attributes.font) appendFont(css, *attributes.font);
    if (attributes.foregroundColor) {
      if (!css.empty()) css += ';';
      css += "color:";
      appendCssColor(css, *attributes.foregroundColor);
    }
    spanClass = css.empty() ? kNoClass : spanClasses_.classOf(css);
    return spanClass;
  }

  void switchSpan(std::string& out, int spanClass) {
    if (spanClass == openSpan_) return;
    if (openSpan_ != kNoClass) out += "</span>";
    if (spanClass != kNoClass) out += spanOpenings_[static_cast<std::size_t>(spanClass)];
    openSpan_ = spanClass;
  }

  void switchLink(std::string& out, const std::optional<std::string>& link) {
    if (link == openLink_) return;
    switchSpan(out, kNoClass);
    if (openLink_) {
      out += "</";
      out += linkTag_;
      out += '>';
    }
    if (link) {
      out += '<';
      out += linkTag_;
      if (linkTag_ == "a") {
        out += " href=\"#";
        rendering::appendPercentEncoded(out, *link);
        out += '"';
      }
      out += " data-link=\"";
      appendEscaped(out, *link);
      out += "\">";
    }
    openLink_ = link;
  }

  std::string head() const {
    std::string out =
        "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>";
    appendEscaped(out, options_.title);
    out += "</title>\n<style>\nbody{margin:0;padding:1em;background:";
    appendCssColor(out, options_.backgroundColor);
    out += ";color:";
    appendCssColor(out, options_.defaultTextColor);
    out += "}\npre{margin:0;white-space:pre-wrap;overflow-wrap:anywhere;";
    appendFont(out, options_.defaultFont);
    out += "}\na{color:inherit;text-decoration:underline}\n";
    paragraphClasses_.appendRules(out, 'p');
    spanClasses_.appendRules(out, 's');
    out += "</style>\n</head>\n<body>\n";
    return out;
  }

  const HtmlRenderer::Options& options_;
  const MutableAttributedString& text_;
  const std::string_view linkTag_;
  ClassTable paragraphClasses_;
  ClassTable spanClasses_;
  std::vector<int> spanClassOfSet_;
  // The opening tag of every span class, settled before the body is written.
  std::vector<std::string> spanOpenings_;
  std::size_t runIndex_ = 0;
  int openSpan_ = kNoClass;
  std::optional<std::string> openLink_;
};

}  // namespace

std::string HtmlRenderer::render(const MutableAttributedString& text) const {
  return Markup(options_, text, Markup::Form::page).page();
}

HtmlRenderer::Lines HtmlRenderer::renderLines(const MutableAttributedString& text,
                                              std::vector<std::string>& looks) const {
  return Markup(options_, text, Markup::Form::lines).lines(looks);
}

}  // namespace tessary::platform
