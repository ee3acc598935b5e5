#include "snippet_fragment.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>
#include <vector>

namespace tessary::tool {

namespace {

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

void appendEscaped(std::string& out, std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    switch (byte) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        if ((byte < 0x20 && byte != '\t' && byte != '\n') || byte == 0x7F) {
          out += kReplacementCharacter;
        } else if (byte == 0xC2 && i + 1 < text.size() &&
                   static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
          out += kReplacementCharacter;  // a C1 control character
          ++i;
        } else {
          out.push_back(static_cast<char>(byte));
        }
    }
  }
}

int channel(double component) {
  return static_cast<int>(std::lround(std::clamp(component, 0.0, 1.0) * 255.0));
}

std::string cssRule(std::size_t index, const platform::TextAttributes& attributes) {
  char buffer[160];
  std::string rule = ".s" + std::to_string(index) + "{";
  if (attributes.foregroundColor) {
    const platform::Color& color = *attributes.foregroundColor;
    std::snprintf(buffer, sizeof buffer, "color:rgba(%d,%d,%d,%.3f);", channel(color.red),
                  channel(color.green), channel(color.blue), std::clamp(color.alpha, 0.0, 1.0));
    rule += buffer;
  }
  if (attributes.font) {
    std::snprintf(buffer, sizeof buffer, "font-size:%.1fpx;font-weight:%d;font-style:%s;",
                  attributes.font->pointSize(), attributes.font->isBold() ? 700 : 400,
                  attributes.font->isItalic() ? "italic" : "normal");
    rule += buffer;
  }
  rule += "}\n";
  return rule;
}

}  // namespace

std::string escapeHtml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  appendEscaped(out, text);
  return out;
}

SnippetFragment renderSnippetFragment(const platform::MutableAttributedString& text) {
  SnippetFragment fragment;
  fragment.html.reserve(text.string().size() * 2);
  std::vector<bool> used(text.attributeSetCount(), false);
  for (const platform::AttributeRun run : text.runs()) {
    used[run.setIndex] = true;
    const platform::TextAttributes& attributes = run.attributes();
    fragment.html += "<span class=\"s" + std::to_string(run.setIndex);
    if (attributes.link) {
      fragment.html += " link\" data-link=\"";
      appendEscaped(fragment.html, *attributes.link);
    }
    fragment.html += "\">";
    appendEscaped(fragment.html,
                  std::string_view(text.string()).substr(run.bytes.begin, run.bytes.size()));
    fragment.html += "</span>";
  }
  for (std::size_t index = 0; index < used.size(); ++index) {
    if (used[index]) fragment.css += cssRule(index, *text.attributeSet(index));
  }
  return fragment;
}

}  // namespace tessary::tool
