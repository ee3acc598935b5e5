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

// A stretch of records from one place: where it ends, and whether all of them are unchanged.
struct Stretch {
  std::size_t end;
  bool unchanged;
};

// The stretch of records from `from` that a build's records and the previous build's lie out
// alike in their snippets (at least one record, at most 64). A build's records view consecutive
// lines of its snippet, so one comparison tells whether the whole stretch is unchanged.
Stretch stretchFrom(const std::vector<CodeHistory>& records,
                    const std::vector<CodeHistory>& previous, std::size_t from) {
  constexpr std::size_t kStretch = 64;
  const CodeHistory& first = records[from];
  const CodeHistory& firstBefore = previous[from];
  const std::size_t shift = firstBefore.bytes().begin - first.bytes().begin;
  std::size_t end = from;
  while (end < records.size() && end - from < kStretch) {
    const CodeHistory& record = records[end];
    const CodeHistory& before = previous[end];
    if (&record.snippet() != &first.snippet() || &before.snippet() != &firstBefore.snippet() ||
        before.bytes().begin - record.bytes().begin != shift ||
        before.bytes().size() != record.bytes().size()) {
      break;
    }
    ++end;
  }
  if (end == from) return {from + 1, false};
  const std::size_t begin = first.bytes().begin;
  const std::size_t length = records[end - 1].bytes().end - begin;
  return {end, first.snippet().compare(begin, length, firstBefore.snippet(), begin + shift,
                                       length) == 0};
}

}  // namespace

CurrentLineFinder::Beginnings::Beginnings(std::size_t recordCount) {
  ofRecord.assign(recordCount, kNone);
  index.reserve(recordCount);
  filter.assign(filterWordsFor(recordCount), 0);
  filterMask = filter.size() * 64 - 1;
}

std::uint32_t CurrentLineFinder::Beginnings::add(std::string_view beginning) {
  const std::uint64_t hash = WordHash::of(beginning);
  const std::uint32_t found = find(hash, beginning);
  if (found != kNone) return found;
  entries.push_back({text.size(), beginning.size()});
  text += beginning;
  const std::size_t bit = (hash >> 32) & filterMask;
  filter[bit / 64] |= std::uint64_t{1} << (bit % 64);
  return static_cast<std::uint32_t>(index.add(hash));
}

std::uint32_t CurrentLineFinder::Beginnings::find(std::uint64_t hash,
                                                  std::string_view beginning) const {
  if (!mayBeBeginning(hash)) return kNone;
  const std::optional<std::size_t> found = index.find(hash, [&](std::size_t at) {
    const Beginning& candidate = entries[at];
    return candidate.length == beginning.size() &&
           std::memcmp(text.data() + candidate.offset, beginning.data(), beginning.size()) == 0;
  });
  return found ? static_cast<std::uint32_t>(*found) : kNone;
}

CurrentLineFinder::CurrentLineFinder(const std::vector<CodeHistory>& records) {
  auto beginnings = std::make_shared<Beginnings>(records.size());
  auto rests = std::make_shared<Rests>();
  rests->ofRecord.assign(records.size(), {0, kUnassigned});
  for (std::size_t record = 0; record < records.size(); ++record) {
    const std::string_view text = records[record].string();
    const std::optional<std::string_view> beginning = ChangeLocator::fixedBeginning(text);
    if (!beginning) continue;
    beginnings->ofRecord[record] = beginnings->add(*beginning);
    const std::optional<std::string_view> rest = restAfter(text, *beginning);
    if (!rest) continue;
    rests->ofRecord[record] = {rests->text.size(), rest->size()};
    rests->text += *rest;
  }
  beginnings_ = std::move(beginnings);
  rests_ = std::move(rests);
}

CurrentLineFinder CurrentLineFinder::renewed(const std::vector<CodeHistory>& records,
                                             const std::vector<CodeHistory>& previousRecords,
                                             const CurrentLineFinder& previous) {
  if (records.size() != previousRecords.size()) return CurrentLineFinder(records);
  const Beginnings& beginnings = *previous.beginnings_;
  // The changes since `previous`, merged with those `previous` kept, in record order.
  std::vector<ChangedRest> changed;
  auto kept = previous.changedRests_.begin();
  const auto keepUpTo = [&](std::size_t record) {
    while (kept != previous.changedRests_.end() && kept->record < record)
      changed.push_back(*kept++);
    if (kept != previous.changedRests_.end() && kept->record == record) ++kept;
  };
  for (std::size_t record = 0; record < records.size();) {
    const Stretch stretch = stretchFrom(records, previousRecords, record);
    if (stretch.unchanged) {
      record = stretch.end;
      continue;
    }
    for (; record < stretch.end; ++record) {
      const std::string_view text = records[record].string();
      if (text == previousRecords[record].string()) continue;
      const std::optional<std::string_view> beginning = ChangeLocator::fixedBeginning(text);
      const std::uint32_t had = beginnings.ofRecord[record];
      if (!beginning && had == kNone) continue;
      if (!beginning || had == kNone || beginnings.textOf(had) != *beginning) {
        return CurrentLineFinder(records);
      }
      keepUpTo(record);
      const std::optional<std::string_view> rest = restAfter(text, *beginning);
      changed.push_back({record, rest ? std::optional<std::string>(*rest) : std::nullopt});
    }
  }
  keepUpTo(records.size());
  CurrentLineFinder finder(previous.beginnings_, previous.rests_, std::move(changed));
  // Past a few changes the rests are copied anew, so that a lookup stays one step.
  if (finder.changedRests_.size() > 8 + records.size() / 64) {
    finder.rests_ = finder.foldedRests(records.size());
    finder.changedRests_.clear();
  }
  return finder;
}

std::optional<std::string_view> CurrentLineFinder::restAfter(std::string_view text,
                                                             std::string_view beginning) {
  if (beginning.data() != text.data()) return std::nullopt;
  return text.substr(beginning.size());
}

std::optional<std::string_view> CurrentLineFinder::restOf(std::size_t record) const {
  if (!changedRests_.empty()) {
    const auto changed = std::ranges::lower_bound(changedRests_, record, {}, &ChangedRest::record);
    if (changed != changedRests_.end() && changed->record == record) {
      if (!changed->text) return std::nullopt;
      return std::string_view(*changed->text);
    }
  }
  const Rest rest = rests_->ofRecord[record];
  if (rest.length == kUnassigned) return std::nullopt;
  return std::string_view(rests_->text).substr(rest.offset, rest.length);
}

std::shared_ptr<const CurrentLineFinder::Rests> CurrentLineFinder::foldedRests(
    std::size_t recordCount) const {
  auto rests = std::make_shared<Rests>();
  rests->text.reserve(rests_->text.size());
  rests->ofRecord.assign(recordCount, {0, kUnassigned});
  for (std::size_t record = 0; record < recordCount; ++record) {
    const std::optional<std::string_view> rest = restOf(record);
    if (!rest) continue;
    rests->ofRecord[record] = {rests->text.size(), rest->size()};
    rests->text += *rest;
  }
  return rests;
}

bool CurrentLineFinder::isAsBuilt(std::size_t record, std::string_view line) const {
  const Beginnings& beginnings = *beginnings_;
  const std::size_t beginningLength = beginnings.entries[beginnings.ofRecord[record]].length;
  if (line.size() < beginningLength) return false;
  const std::string_view rest = line.substr(beginningLength);
  // Mostly no record changed since the rests were copied: one look into them.
  if (changedRests_.empty()) {
    const Rest kept = rests_->ofRecord[record];
    return kept.length == rest.size() &&
           std::string_view(rests_->text).substr(kept.offset, kept.length) == rest;
  }
  const std::optional<std::string_view> built = restOf(record);
  return built && *built == rest;
}

CurrentLineFinder::CurrentLines CurrentLineFinder::currentLines(std::string_view newString) const {
  const Beginnings& beginnings = *beginnings_;
  std::vector<StringRange> lineOfBeginning(beginnings.entries.size(), {kUnassigned, kUnassigned});
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
    if (shape.equalsSigns == 1 && expected < beginnings.entries.size() &&
        beginnings.textOf(expected) == newString.substr(start, shape.lastEquals + 1 - start)) {
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
  const std::uint32_t beginning = finder_->beginnings_->ofRecord[record];
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
      const std::uint32_t beginning = beginnings_->find(hash, text.substr(start, length));
      if (beginning != kNone) found(beginning);
    }
    state = WordHash::step(state, word);
  }
}

}  // namespace tessary::code_editor
