#include "utf8.h"

#include <cstdint>
#include <cstring>

namespace tessary::platform::utf8 {

namespace {

constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

bool inRange(unsigned char byte, unsigned char low, unsigned char high) {
  return byte >= low && byte <= high;
}

}  // namespace

Sequence sequenceAt(std::string_view text, std::size_t position) {
  const auto byte = [&](std::size_t offset) {
    return static_cast<unsigned char>(text[position + offset]);
  };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return {1, true};

  // The allowed range of the second byte rules out overlong forms, surrogates and code points
  // above U+10FFFF; every later byte is a plain continuation byte.
  std::size_t length = 0;
  unsigned char secondLow = 0x80;
  unsigned char secondHigh = 0xBF;
  if (inRange(lead, 0xC2, 0xDF)) {
    length = 2;
  } else if (inRange(lead, 0xE0, 0xEF)) {
    length = 3;
    if (lead == 0xE0) secondLow = 0xA0;
    if (lead == 0xED) secondHigh = 0x9F;
  } else if (inRange(lead, 0xF0, 0xF4)) {
    length = 4;
    if (lead == 0xF0) secondLow = 0x90;
    if (lead == 0xF4) secondHigh = 0x8F;
  } else {
    return {1, false};
  }
  const std::size_t available = text.size() - position;
  for (std::size_t offset = 1; offset < length; ++offset) {
    const bool fits = offset < available;
    const bool allowed = fits && (offset == 1 ? inRange(byte(1), secondLow, secondHigh)
                                              : isContinuation(byte(offset)));
    if (!allowed) return {offset, false};
  }
  return {length, true};
}

bool isAscii(std::string_view text) {
  std::size_t position = 0;
  for (; text.size() - position >= 8; position += 8) {
    std::uint64_t block;
    std::memcpy(&block, text.data() + position, sizeof block);
    if ((block & kHighBits) != 0) return false;
  }
  for (; position < text.size(); ++position) {
    if (static_cast<unsigned char>(text[position]) >= 0x80) return false;
  }
  return true;
}

Measure measure(std::string_view text) {
  std::size_t units = 0;
  std::size_t position = 0;
  while (position < text.size()) {
    // Plain ASCII eight bytes at a time: one unit per byte.
    if (text.size() - position >= 8) {
      std::uint64_t block;
      std::memcpy(&block, text.data() + position, sizeof block);
      if ((block & kHighBits) == 0) {
        position += 8;
        units += 8;
        continue;
      }
    }
    // Short tokens end in fewer than eight bytes, mostly ASCII.
    if (static_cast<unsigned char>(text[position]) < 0x80) {
      ++position;
      ++units;
      continue;
    }
    const Sequence sequence = sequenceAt(text, position);
    if (!sequence.valid) return {false, 0};
    units += utf16UnitsOfLead(static_cast<unsigned char>(text[position]));
    position += sequence.length;
  }
  return {true, units};
}

std::string repaired(std::string_view text) {
  std::string result;
  result.reserve(text.size() + 8);
  std::size_t position = 0;
  while (position < text.size()) {
    const Sequence sequence = sequenceAt(text, position);
    if (sequence.valid) {
      result.append(text.substr(position, sequence.length));
    } else {
      result.append("\xEF\xBF\xBD");
    }
    position += sequence.length;
  }
  return result;
}

char32_t decode(std::string_view text, std::size_t position, std::size_t length) {
  const auto byte = [&](std::size_t offset) {
    return static_cast<char32_t>(static_cast<unsigned char>(text[position + offset]));
  };
  switch (length) {
    case 1:
      return byte(0);
    case 2:
      return ((byte(0) & 0x1F) << 6) | (byte(1) & 0x3F);
    case 3:
      return ((byte(0) & 0x0F) << 12) | ((byte(1) & 0x3F) << 6) | (byte(2) & 0x3F);
    default:
      return ((byte(0) & 0x07) << 18) | ((byte(1) & 0x3F) << 12) | ((byte(2) & 0x3F) << 6) |
             (byte(3) & 0x3F);
  }
}

}  // namespace tessary::platform::utf8
