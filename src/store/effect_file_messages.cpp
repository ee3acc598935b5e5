#include "effect_file_messages.h"

#include <algorithm>
#include <cstddef>
#include <string>

#include "tessary/platform/well_formed_utf8.h"

namespace tessary::store {

namespace {

using Json = nlohmann::json;

// Syntax messages carry the text last read, which can be a whole long line.
constexpr std::size_t kMaxProblemBytes = 200;

bool isContinuationByte(char byte) {
  return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// The longest prefix of `text` of at most `maxBytes` bytes that ends between two characters.
std::string_view utf8Prefix(std::string_view text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  std::size_t end = maxBytes;
  while (end > 0 && isContinuationByte(text[end])) --end;
  return text.substr(0, end);
}

}  // namespace

std::string EffectFileMessages::shortened(std::string_view text, std::size_t maxBytes) {
  const std::string_view prefix = utf8Prefix(text, maxBytes);
  return prefix.size() == text.size() ? std::string(text) : std::string(prefix) + "...";
}

// Ill-formed UTF-8 comes from a file name, or from a character the JSON library cut in two when
// it quoted what it last read.
std::string EffectFileMessages::oneLine(std::string_view anyText) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const std::string wellFormed = platform::wellFormedUtf8(anyText);
  const std::string_view text = wellFormed;
  std::string line;
  line.reserve(text.size());
  const auto appendEscape = [&](unsigned char code) {
    line += "\\u00";
    line += kHex[code >> 4];
    line += kHex[code & 0xF];
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
    if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {  // U+0080 to U+009F
      appendEscape(next);
      ++i;
    } else if (byte == '\n') {
      line += "\\n";
    } else if (byte == '\r') {
      line += "\\r";
    } else if (byte == '\t') {
      line += "\\t";
    } else if (byte < 0x20 || byte == 0x7F) {
      appendEscape(byte);
    } else {
      line += static_cast<char>(byte);
    }
  }
  return line;
}

std::string EffectFileMessages::quotedText(std::string_view text) {
  const std::string_view prefix = utf8Prefix(text, maxQuotedBytes);
  std::string literal =
      Json(std::string(prefix)).dump(-1, ' ', false, Json::error_handler_t::replace);
  if (prefix.size() < text.size()) literal += "...";
  return literal;
}

std::string EffectFileMessages::jsonPointer(const std::vector<std::string>& segments) {
  if (segments.empty()) return "/";
  std::string pointer;
  for (const auto& segment : segments) {
    pointer += '/';
    for (const char character : segment) {
      if (character == '~') {
        pointer += "~0";
      } else if (character == '/') {
        pointer += "~1";
      } else {
        pointer += character;
      }
    }
  }
  return pointer;
}

std::string EffectFileMessages::lineAndColumn(std::string_view text, std::size_t offset) {
  offset = std::min(offset, text.size());
  const std::string_view before = text.substr(0, offset);
  const std::size_t lineNumber =
      1 + static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n'));
  const std::size_t lastNewline = before.rfind('\n');
  std::size_t lineStart = lastNewline == std::string_view::npos ? 0 : lastNewline + 1;
  if (lineStart == 0 && before.starts_with("\xEF\xBB\xBF")) lineStart = 3;
  const std::string_view line = before.substr(std::min(lineStart, before.size()));
  const std::size_t column =
      1 + static_cast<std::size_t>(std::count_if(
              line.begin(), line.end(), [](char byte) { return !isContinuationByte(byte); }));
  return "line " + std::to_string(lineNumber) + ", column " + std::to_string(column);
}

std::string EffectFileMessages::syntaxProblem(const nlohmann::detail::exception& error) {
  std::string_view message = error.what();
  const std::size_t column = message.find(", column ");
  const std::size_t problemStart =
      column == std::string_view::npos ? message.find("] ") : message.find(": ", column);
  if (problemStart != std::string_view::npos) message.remove_prefix(problemStart + 2);
  return shortened(message, kMaxProblemBytes);
}

}  // namespace tessary::store
