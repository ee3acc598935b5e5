#include "current_line_finder.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/word_hash.h"
#include "tessary/code_editor/change_locator.h"
#include "text_lines.h"

namespace tessary::code_editor {

namespace {

using platform::StringRange;

using platform::WordHash;

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
constexpr std::size_t kWordSize = WordHash::kWordSize;

// Whether the word holds a byte that needs a closer look: a "=", a control character below
// U+000E (the line terminators among them) or a byte of a multi-byte character.
bool needsCloserLook(std::uint64_t word) {
  const std::uint64_t equals = word ^ (kOnes * '=');
  const std::uint64_t hasEquals = (equals - kOnes) & ~equals & kHighBits;
  const std::uint64_t hasLow = (word - kOnes * 0x0E) & ~word & kHighBits;
  return (hasEquals | hasLow | (word & kHighBits)) != 0;
}

// Eight bits for every two entries: a byte per slot of an index at most half full.
std::size_t filterWordsFor(std::size_t entries) {
  return std::bit_ceil(std::max<std::size_t>(entries * 2, 16)) / 8;
}

}  // namespace

CurrentLineFinder::CurrentLineFinder(const std::vector<CodeHistory>& records) {
  beginningOfRecord_.assign(records.size(), kNone);
  restOfRecord_.assign(records.size(), {0, kUnassigned});
  index_.reserve(records.size());
  filter_.assign(filterWordsFor(records.size()), 0);
  filterMask_ = filter_.size() * 64 - 1;
  for (std::size_t record = 0; record < records.size(); ++record) {
    const std::optional<std::string_view> beginning =
        ChangeLocator::fixedBeginning(records[record].string());
    if (!beginning) continue;
    const std::uint64_t hash = WordHash::of(*beginning);
    std::uint32_t found = find(hash, *beginning);
    if (found == kNone) {
      found = static_cast<std::uint32_t>(index_.add(hash));
      beginnings_.push_back({beginningText_.size(), beginning->size()});
      beginningText_ += *beginning;
      const std::size_t bit = (hash >> 32) & filterMask_;
      filter_[bit / 64] |= std::uint64_t{1} << (bit % 64);
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
  const std::optional<std::size_t> found = index_.find(hash, [&](std::size_t at) {
    const Beginning& candidate = beginnings_[at];
    return candidate.length == text.size() &&
           std::memcmp(beginningText_.data() + candidate.offset, text.data(), text.size()) == 0;
  });
  return found ? static_cast<std::uint32_t>(*found) : kNone;
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
    if (count == kWordSize && !needsCloserLook(WordHash::loadWord(text.data() + at, kWordSize))) {
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
  std::uint64_t state = WordHash::kStart;
  for (std::size_t at = start; at <= lastEquals; at += kWordSize) {
    const std::size_t count = std::min(kWordSize, text.size() - at);
    const std::uint64_t word = WordHash::loadWord(text.data() + at, count);
    for (std::size_t i = 0; i < count && at + i <= lastEquals; ++i) {
      if (text[at + i] != '=') continue;
      const std::size_t length = at + i + 1 - start;
      const std::uint64_t hash =
          i + 1 == kWordSize ? WordHash::finish(WordHash::step(state, word), 0, length)
                             : WordHash::finish(state, WordHash::firstBytes(word, i + 1), length);
      const std::uint32_t beginning = find(hash, text.substr(start, length));
      if (beginning != kNone) found(beginning);
    }
    state = WordHash::step(state, word);
  }
}

std::string_view CurrentLineFinder::beginningText(std::size_t beginning) const {
  return std::string_view(beginningText_)
      .substr(beginnings_[beginning].offset, beginnings_[beginning].length);
}

}  // namespace tessary::code_editor
