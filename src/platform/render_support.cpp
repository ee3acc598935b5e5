#include "render_support.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace tessary::platform::rendering {

namespace {

int channel(double component) {
  return static_cast<int>(std::lround(std::clamp(component, 0.0, 1.0) * 255.0));
}

double blend(double front, double back, double alpha) {
  return front * alpha + back * (1.0 - alpha);
}

}  // namespace

Rgb visibleRgb(Color color, Color background) {
  const double alpha = std::clamp(color.alpha, 0.0, 1.0);
  return {channel(blend(color.red, background.red, alpha)),
          channel(blend(color.green, background.green, alpha)),
          channel(blend(color.blue, background.blue, alpha))};
}

void appendDecimal(std::string& out, double value, int fractionDigits) {
  if (!std::isfinite(value)) value = 0.0;
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed,
                                    fractionDigits);
  std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
  if (text.find('.') != std::string_view::npos) {
    while (text.back() == '0') text.remove_suffix(1);
    if (text.back() == '.') text.remove_suffix(1);
  }
  if (text == "-0") text = "0";
  out.append(text);
}

void appendPercentEncoded(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    const bool unreserved = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                            (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' ||
                            byte == '_' || byte == '~';
    if (unreserved) {
      out.push_back(c);
    } else {
      out.push_back('%');
      out.push_back(kHex[byte >> 4]);
      out.push_back(kHex[byte & 0x0F]);
    }
  }
}

std::string_view controlStandIn(char32_t codePoint) {
  // UTF-8 of U+2400 + n is E2 90 (80 + n) for n up to 0x1F; DEL's picture is U+2421.
  static constexpr char kPictures[] =
      "\xE2\x90\x80\xE2\x90\x81\xE2\x90\x82\xE2\x90\x83\xE2\x90\x84\xE2\x90\x85\xE2\x90\x86"
      "\xE2\x90\x87\xE2\x90\x88\xE2\x90\x89\xE2\x90\x8A\xE2\x90\x8B\xE2\x90\x8C\xE2\x90\x8D"
      "\xE2\x90\x8E\xE2\x90\x8F\xE2\x90\x90\xE2\x90\x91\xE2\x90\x92\xE2\x90\x93\xE2\x90\x94"
      "\xE2\x90\x95\xE2\x90\x96\xE2\x90\x97\xE2\x90\x98\xE2\x90\x99\xE2\x90\x9A\xE2\x90\x9B"
      "\xE2\x90\x9C\xE2\x90\x9D\xE2\x90\x9E\xE2\x90\x9F";
  if (codePoint == '\t' || codePoint == '\n') return {};
  if (codePoint < 0x20) return std::string_view(kPictures + 3 * codePoint, 3);
  if (codePoint == 0x7F) return "\xE2\x90\xA1";
  if (codePoint >= 0x80 && codePoint <= 0x9F) return "\xEF\xBF\xBD";
  return {};
}

std::vector<ParagraphBlock> paragraphBlocks(const MutableAttributedString& text) {
  std::vector<ParagraphBlock> blocks;
  const std::string& characters = text.string();
  std::size_t runIndex = 0;
  std::size_t position = 0;
  while (position < characters.size()) {
    const void* lineFeed =
        std::memchr(characters.data() + position, '\n', characters.size() - position);
    const std::size_t end =
        lineFeed ? static_cast<const char*>(lineFeed) - characters.data() + 1 : characters.size();
    while (text.run(runIndex).bytes.end <= position) ++runIndex;
    const auto& paragraphStyle = text.run(runIndex).attributes().paragraphStyle;
    const ParagraphStyle* style = paragraphStyle ? &*paragraphStyle : nullptr;
    const bool sameAsBefore =
        !blocks.empty() && (blocks.back().style == style ||
                            (blocks.back().style && style && *blocks.back().style == *style));
    if (sameAsBefore) {
      blocks.back().end = end;
    } else {
      blocks.push_back({position, end, style});
    }
    position = end;
  }
  return blocks;
}

}  // namespace tessary::platform::rendering
