#include "tessary/code_editor/current_line_finder.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "tessary/code_editor/change_locator.h"
#include "text_lines.h"

namespace tessary::code_editor {

namespace {

using platform::StringRange;

constexpr std::uint64_t kSeed = 0x9E3779B97F4A7C15ULL;
constexpr std::uint64_t kStepMultiplier = 0xBF58476D1CE4E5B9ULL;
constexpr std::uint64_t kFinishMultiplier = 0x94D049BB133111EBULL;
constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
constexpr std::size_t kWordSize = 8;

// `count` bytes (at most eight) as a word, first byte lowest, the rest zero.
std::uint64_t loadWord(const char* bytes, std::size_t count) {
  std::uint64_t word = 0;
  if (count == kWordSize) {
    std::memcpy(&word, bytes, kWordSize);
    if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
    return word;
  }
  for (std::size_t i = 0; i < count; ++i) {
    word |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
  }
  return word;
}

// The first `count` bytes of `word` (count < 8), the rest zero.
std::uint64_t firstBytes(std::uint64_t word, std::size_t count) {
  return word & ((std::uint64_t{1} << (8 * count)) - 1);
}

// A prefix hash reads the prefix in whole words, then the bytes left over and the length, so the
// hash of every prefix of a line comes from the running state of the words before it.
std::uint64_t step(std::uint64_t state, std::uint64_t word) {
  return std::rotl((state ^ word) * kStepMultiplier, 29);
}

std::uint64_t finish(std::uint64_t state, std::uint64_t rest, std::size_t length) {
  std::uint64_t hash = step(state, rest) ^ length;
  hash ^= hash >> 31;
  hash *= kFinishMultiplier;
  hash ^= hash >> 29;
  return hash;
}

std::uint64_t hashOf(std::string_view text) {
  std::uint64_t state = kSeed;
  std::size_t at = 0;
  for (; at + kWordSize <= text.size(); at += kWordSize) {
    state = step(state, loadWord(text.data() + at, kWordSize));
  }
  return finish(state, loadWord(text.data() + at, text.size() - at), text.size());
}

// Whether the word holds a byte that needs a closer look: a "=", a control character below
// U+000E (the line terminators among them) or a byte of a multi-byte character.
bool needsCloserLook(std::uint64_t word) {
  const std::uint64_t equals = word ^ (kOnes * '=');
  const std::uint64_t hasEquals = (equals - kOnes) & ~equals & kHighBits;
  const std::uint64_t hasLow = (word - kOnes * 0x0E) & ~word & kHighBits;
  return (hasEquals | hasLow | (word & kHighBits)) != 0;
}

std::size_t slotCountFor(std::size_t entries) {
  return std::bit_ceil(std::max<std::size_t>(entries * 2, 16));
}

}  // namespace

CurrentLineFinder::CurrentLineFinder(const std::vector<CodeHistory>& records) {
  beginningOfRecord_.assign(records.size(), kNone);
  slots_.assign(slotCountFor(records.size()), kNone);
  slotMask_ = slots_.size() - 1;
  for (std::size_t record = 0; record < records.size(); ++record) {
    const std::optional<std::string_view> beginning =
        ChangeLocator::fixedBeginning(records[record].string());
    if (!beginning) continue;
    const std::uint64_t hash = hashOf(*beginning);
    std::uint32_t found = find(hash, *beginning);
    if (found == kNone) {
      found = static_cast<std::uint32_t>(beginnings_.size());
      beginnings_.push_back({hash, beginningText_.size(), beginning->size()});
      beginningText_ += *beginning;
      std::size_t slot = hash & slotMask_;
      while (slots_[slot] != kNone) slot = (slot + 1) & slotMask_;
      slots_[slot] = found;
    }
    beginningOfRecord_[record] = found;
  }
}

std::uint32_t CurrentLineFinder::find(std::uint64_t hash, std::string_view text) const {
  for (std::size_t slot = hash & slotMask_; slots_[slot] != kNone; slot = (slot + 1) & slotMask_) {
    const Beginning& candidate = beginnings_[slots_[slot]];
    if (candidate.hash == hash && candidate.length == text.size() &&
        std::memcmp(beginningText_.data() + candidate.offset, text.data(), text.size()) == 0) {
      return slots_[slot];
    }
  }
  return kNone;
}

std::vector<std::optional<StringRange>> CurrentLineFinder::currentLines(
    std::string_view newString) const {
  constexpr std::size_t kUnassigned = SIZE_MAX;
  std::vector<StringRange> lineOfBeginning(beginnings_.size(), {kUnassigned, kUnassigned});
  std::vector<std::uint32_t> foundOnLine;
  const std::size_t size = newString.size();
  const char* const text = newString.data();

  std::size_t lineStart = 0;
  while (true) {
    const std::size_t start = TextLines::indentationEnd(newString, lineStart, size);
    std::uint64_t state = kSeed;
    std::size_t lineEnd = size;
    bool terminated = false;
    foundOnLine.clear();
    for (std::size_t at = start; at < size && !terminated;) {
      const std::size_t count = std::min(kWordSize, size - at);
      const std::uint64_t word = loadWord(text + at, count);
      if (count == kWordSize && !needsCloserLook(word)) {
        state = step(state, word);
        at += kWordSize;
        continue;
      }
      for (std::size_t i = 0; i < count; ++i) {
        const char byte = text[at + i];
        if (byte == '=') {
          const std::size_t length = at + i + 1 - start;
          const std::uint64_t hash = i + 1 == kWordSize
                                         ? finish(step(state, word), 0, length)
                                         : finish(state, firstBytes(word, i + 1), length);
          const std::uint32_t beginning = find(hash, newString.substr(start, length));
          if (beginning != kNone && lineOfBeginning[beginning].begin == kUnassigned) {
            lineOfBeginning[beginning].begin = start;
            foundOnLine.push_back(beginning);
          }
        } else if (TextLines::mayStartTerminator(static_cast<unsigned char>(byte)) &&
                   TextLines::terminatorLength(newString, at + i) != 0) {
          lineEnd = at + i;
          terminated = true;
          break;
        }
      }
      if (!terminated) state = step(state, word);
      at += count;
    }
    for (const std::uint32_t beginning : foundOnLine) lineOfBeginning[beginning].end = lineEnd;
    if (!terminated) break;
    lineStart = lineEnd + TextLines::terminatorLength(newString, lineEnd);
  }

  std::vector<std::optional<StringRange>> lines(beginningOfRecord_.size());
  for (std::size_t record = 0; record < lines.size(); ++record) {
    const std::uint32_t beginning = beginningOfRecord_[record];
    if (beginning != kNone && lineOfBeginning[beginning].begin != kUnassigned) {
      lines[record] = lineOfBeginning[beginning];
    }
  }
  return lines;
}

}  // namespace tessary::code_editor
