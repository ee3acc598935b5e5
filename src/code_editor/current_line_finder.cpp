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
  restOfRecord_.assign(records.size(), {0, kUnassigned});
  slots_.assign(slotCountFor(records.size()), kNone);
  slotMask_ = slots_.size() - 1;
  filter_.assign(slots_.size() / 8, 0);
  filterMask_ = filter_.size() * 64 - 1;
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
      const std::size_t bit = (hash >> 32) & filterMask_;
      filter_[bit / 64] |= std::uint64_t{1} << (bit % 64);
      std::size_t slot = hash & slotMask_;
      while (slots_[slot] != kNone) slot = (slot + 1) & slotMask_;
      slots_[slot] = found;
    }
    beginningOfRecord_[record] = found;
    const std::string& text = records[record].string();
    if (beginning->data() == text.data()) {
      const std::string_view rest = std::string_view(text).substr(beginning->size());
      restOfRecord_[record] = {restText_.size(), rest.size()};
      restText_ += rest;
    }
  }
}

bool CurrentLineFinder::isAsBuilt(std::size_t record, std::string_view line) const {
  const Rest rest = restOfRecord_[record];
  const std::size_t beginningLength = beginnings_[beginningOfRecord_[record]].length;
  return rest.length != kUnassigned && line.size() == beginningLength + rest.length &&
         line.substr(beginningLength) ==
             std::string_view(restText_).substr(rest.offset, rest.length);
}

bool CurrentLineFinder::mayBeBeginning(std::uint64_t hash) const {
  const std::size_t bit = (hash >> 32) & filterMask_;
  return (filter_[bit / 64] >> (bit % 64) & 1) != 0;
}

std::uint32_t CurrentLineFinder::find(std::uint64_t hash, std::string_view text) const {
  if (!mayBeBeginning(hash)) return kNone;
  for (std::size_t slot = hash & slotMask_; slots_[slot] != kNone; slot = (slot + 1) & slotMask_) {
    const Beginning& candidate = beginnings_[slots_[slot]];
    if (candidate.hash == hash && candidate.length == text.size() &&
        std::memcmp(beginningText_.data() + candidate.offset, text.data(), text.size()) == 0) {
      return slots_[slot];
    }
  }
  return kNone;
}

CurrentLineFinder::CurrentLines CurrentLineFinder::currentLines(std::string_view newString) const {
  std::vector<StringRange> lineOfBeginning(beginnings_.size(), {kUnassigned, kUnassigned});
  const auto assign = [&](std::size_t beginning, std::size_t start, std::size_t lineEnd) {
    if (lineOfBeginning[beginning].begin == kUnassigned)
      lineOfBeginning[beginning] = {start, lineEnd};
  };
  // Lines mostly come in the order of the records: the beginning after the last one found is
  // tried first, by one comparison.
  std::size_t expected = 0;
  std::size_t lineStart = 0;
  while (true) {
    const std::size_t start = TextLines::indentationEnd(newString, lineStart, newString.size());
    const LineShape shape = lineShape(newString, start);
    if (shape.equalsSigns == 1 && expected < beginnings_.size() &&
        beginningText(expected) == newString.substr(start, shape.lastEquals + 1 - start)) {
      assign(expected, start, shape.end);
      ++expected;
    } else if (shape.equalsSigns > 0) {
      forEachBeginningOnLine(newString, start, shape.lastEquals, [&](std::uint32_t beginning) {
        assign(beginning, start, shape.end);
        expected = beginning + std::size_t{1};
      });
    }
    if (shape.end == newString.size()) break;
    lineStart = shape.end + TextLines::terminatorLength(newString, shape.end);
  }
  return CurrentLines(*this, std::move(lineOfBeginning));
}

std::optional<StringRange> CurrentLineFinder::CurrentLines::operator[](std::size_t record) const {
  const std::uint32_t beginning = finder_->beginningOfRecord_[record];
  if (beginning == kNone || lineOfBeginning_[beginning].begin == kUnassigned) return std::nullopt;
  return lineOfBeginning_[beginning];
}

CurrentLineFinder::LineShape CurrentLineFinder::lineShape(std::string_view text,
                                                          std::size_t start) {
  LineShape shape{text.size(), 0, 0};
  std::size_t at = start;
  while (at < text.size()) {
    const std::size_t count = std::min(kWordSize, text.size() - at);
    if (count == kWordSize && !needsCloserLook(loadWord(text.data() + at, kWordSize))) {
      at += kWordSize;
      continue;
    }
    for (const std::size_t end = at + count; at < end; ++at) {
      const char byte = text[at];
      if (byte == '=') {
        ++shape.equalsSigns;
        shape.lastEquals = at;
      } else if (TextLines::mayStartTerminator(static_cast<unsigned char>(byte)) &&
                 TextLines::terminatorLength(text, at) != 0) {
        shape.end = at;
        return shape;
      }
    }
  }
  return shape;
}

template <typename Found>
void CurrentLineFinder::forEachBeginningOnLine(std::string_view text, std::size_t start,
                                               std::size_t lastEquals, Found&& found) const {
  std::uint64_t state = kSeed;
  for (std::size_t at = start; at <= lastEquals; at += kWordSize) {
    const std::size_t count = std::min(kWordSize, text.size() - at);
    const std::uint64_t word = loadWord(text.data() + at, count);
    for (std::size_t i = 0; i < count && at + i <= lastEquals; ++i) {
      if (text[at + i] != '=') continue;
      const std::size_t length = at + i + 1 - start;
      const std::uint64_t hash = i + 1 == kWordSize
                                     ? finish(step(state, word), 0, length)
                                     : finish(state, firstBytes(word, i + 1), length);
      const std::uint32_t beginning = find(hash, text.substr(start, length));
      if (beginning != kNone) found(beginning);
    }
    state = step(state, word);
  }
}

std::string_view CurrentLineFinder::beginningText(std::size_t beginning) const {
  return std::string_view(beginningText_)
      .substr(beginnings_[beginning].offset, beginnings_[beginning].length);
}

}  // namespace tessary::code_editor
