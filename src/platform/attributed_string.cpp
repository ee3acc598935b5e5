#include "tessary/platform/attributed_string.h"

#include <algorithm>
#include <array>
#include <bit>
#include <limits>
#include <optional>
#include <utility>

#include "flat_index.h"
#include "tessary/platform/fatal_error.h"
#include "utf8.h"
#include "word_hash.h"

namespace tessary::platform {

namespace {

constexpr std::uint32_t kUnmapped = std::numeric_limits<std::uint32_t>::max();

// Maps set indices of one table to those of another, remembering each answer. Small tables,
// the usual case, are mapped without touching the heap.
class SetIndexMap {
 public:
  explicit SetIndexMap(std::size_t size) {
    if (size <= inline_.size()) {
      inline_.fill(kUnmapped);
      data_ = inline_.data();
    } else {
      heap_.assign(size, kUnmapped);
      data_ = heap_.data();
    }
  }
  SetIndexMap(const SetIndexMap&) = delete;
  SetIndexMap& operator=(const SetIndexMap&) = delete;

  template <typename Resolve>
  std::uint32_t operator()(std::uint32_t from, Resolve&& resolve) {
    std::uint32_t& to = data_[from];
    if (to == kUnmapped) to = resolve(from);
    return to;
  }

 private:
  std::array<std::uint32_t, 32> inline_;
  std::vector<std::uint32_t> heap_;
  std::uint32_t* data_;
};

}  // namespace

// Maps the sets of another table to a string's through a map the caller keeps.
class SetMapping {
 public:
  SetMapping(MutableAttributedString& string, const std::vector<AttributeSet>& otherSets,
             std::vector<std::uint32_t>& ownSetOf)
      : string_(string), otherSets_(otherSets) {
    if (ownSetOf.size() < otherSets_.size()) ownSetOf.resize(otherSets_.size(), kUnmapped);
    ownSetOf_ = ownSetOf.data();
  }

  std::uint32_t operator()(std::uint32_t setIndex) {
    std::uint32_t& own = ownSetOf_[setIndex];
    if (own == kUnmapped) [[unlikely]] {
      own = string_.setIndexOf(otherSets_[setIndex]);
    }
    return own;
  }

 private:
  MutableAttributedString& string_;
  const std::vector<AttributeSet>& otherSets_;
  std::uint32_t* ownSetOf_;  // the caller's map, sized for every set of the other table
};

namespace {

// Zero hashes as one value whatever its sign, as the two compare equal.
std::uint64_t bitsOf(double value) {
  return value == 0.0 ? 0 : std::bit_cast<std::uint64_t>(value);
}

// Equal attributes hash equally. The link, the colour and the size tell the sets of a text apart.
std::uint64_t hashOf(const TextAttributes& attributes) {
  const std::uint64_t link = attributes.link ? WordHash::of(*attributes.link) : 0;
  const Color color = attributes.foregroundColor.value_or(Color{0.0, 0.0, 0.0, 0.0});
  const double size = attributes.font ? attributes.font->pointSize() : 0.0;
  return WordHash::ofWords({link, bitsOf(color.red), bitsOf(color.green), bitsOf(color.blue),
                            bitsOf(color.alpha), bitsOf(size)});
}

std::size_t sequenceLengthOfLead(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead < 0xE0) return 2;
  if (lead < 0xF0) return 3;
  return 4;
}

}  // namespace

MutableAttributedString::MutableAttributedString(std::string text, const AttributeSet& attributes) {
  const utf8::Measure measure = utf8::measure(text);
  if (!measure.valid) {
    append(text, attributes);
    return;
  }
  checkRoomFor(text.size());
  if (text.empty()) return;
  utf16Length_ = measure.utf16Length;
  runs_.push_back({0, 0, setIndexOf(attributes)});
  text_ = std::move(text);
}

MutableAttributedString::MutableAttributedString(std::string text, const TextAttributes& attributes)
    : MutableAttributedString(std::move(text), makeAttributeSet(attributes)) {}

void MutableAttributedString::checkRoomFor(std::size_t bytes) const {
  // Run starts are 32-bit; UTF-16 lengths never exceed byte lengths.
  if (bytes > std::numeric_limits<std::uint32_t>::max() - text_.size()) {
    fatalError("Attributed string too long");
  }
}

void MutableAttributedString::append(std::string_view text, const AttributeSet& attributes) {
  if (text.empty()) return;
  const utf8::Measure measure = utf8::measure(text);
  if (measure.valid) {
    appendWellFormed(text, measure.utf16Length, attributes);
    return;
  }
  const std::string repaired = utf8::repaired(text);
  appendWellFormed(repaired, utf8::measure(repaired).utf16Length, attributes);
}

void MutableAttributedString::appendWellFormed(std::string_view text, std::size_t utf16Length,
                                               const AttributeSet& attributes) {
  checkRoomFor(text.size());
  const std::uint32_t setIndex = setIndexOf(attributes);
  if (runs_.empty() || runs_.back().setIndex != setIndex) {
    runs_.push_back({static_cast<std::uint32_t>(text_.size()),
                     static_cast<std::uint32_t>(utf16Length_), setIndex});
  }
  text_.append(text);
  utf16Length_ += utf16Length;
}

void MutableAttributedString::append(const MutableAttributedString& other) {
  if (other.empty()) return;
  if (&other == this) {
    const MutableAttributedString copy = other;
    append(copy);
    return;
  }
  checkRoomFor(other.text_.size());
  const auto byteOffset = static_cast<std::uint32_t>(text_.size());
  const auto utf16Offset = static_cast<std::uint32_t>(utf16Length_);
  text_.append(other.text_);
  utf16Length_ += other.utf16Length_;

  const std::size_t needed = runs_.size() + other.runs_.size();
  if (needed > runs_.capacity()) runs_.reserve(std::max(needed, 2 * runs_.capacity()));
  SetIndexMap mapSet(other.sets_.size());
  const auto resolve = [&](std::uint32_t index) { return setIndexOf(other.sets_[index]); };
  for (const RunStart& run : other.runs_) {
    const std::uint32_t setIndex = mapSet(run.setIndex, resolve);
    if (!runs_.empty() && runs_.back().setIndex == setIndex) continue;
    runs_.push_back({run.byteStart + byteOffset, run.utf16Start + utf16Offset, setIndex});
  }
}

void MutableAttributedString::appendColoured(std::string_view text, std::size_t utf16Length,
                                             const std::vector<KeptRun>& runs,
                                             const std::vector<AttributeSet>& keeperSets,
                                             std::vector<std::uint32_t>& ownSetOf) {
  checkRoomFor(text.size());
  const auto byteOffset = static_cast<std::uint32_t>(text_.size());
  const auto utf16Offset = static_cast<std::uint32_t>(utf16Length_);
  text_.append(text);
  utf16Length_ += utf16Length;
  SetMapping mapping(*this, keeperSets, ownSetOf);
  for (const KeptRun& run : runs) {
    appendRunStart(
        {run.byteStart + byteOffset, run.utf16Start + utf16Offset, mapping(run.setIndex)});
  }
}

MutableAttributedString::Part MutableAttributedString::partSince(const Mark& mark) const {
  // The part's first characters joined the run before the mark when their sets are equal.
  const bool startsRun = mark.runs < runs_.size() && runs_[mark.runs].byteStart == mark.byte;
  return {mark.byte, static_cast<std::uint32_t>(text_.size()) - mark.byte, mark.utf16,
          static_cast<std::uint32_t>(utf16Length_) - mark.utf16,
          startsRun || mark.runs == 0 ? mark.runs : mark.runs - 1};
}

void MutableAttributedString::appendPart(const MutableAttributedString& source, const Part& part,
                                         std::vector<std::uint32_t>& ownSetOf) {
  if (part.byteLength == 0) return;
  checkRoomFor(part.byteLength);
  const auto byteShift = static_cast<std::uint32_t>(text_.size()) - part.byteStart;
  const auto utf16Shift = static_cast<std::uint32_t>(utf16Length_) - part.utf16Start;
  text_.append(source.text_.data() + part.byteStart, part.byteLength);
  utf16Length_ += part.utf16Length;
  SetMapping mapping(*this, source.sets_, ownSetOf);
  // The first run may begin before the part, and may continue the last run here. The others
  // stay apart: no two of the source's sets are equal. Held in locals, as appending might
  // otherwise be taken to change the source's runs.
  const RunStart* run = source.runs_.data() + part.firstRun;
  const RunStart* const runsEnd = source.runs_.data() + source.runs_.size();
  const std::uint32_t byteEnd = part.byteStart + part.byteLength;
  appendRunStart(
      {part.byteStart + byteShift, part.utf16Start + utf16Shift, mapping(run->setIndex)});
  for (++run; run != runsEnd && run->byteStart < byteEnd; ++run) {
    runs_.push_back(
        {run->byteStart + byteShift, run->utf16Start + utf16Shift, mapping(run->setIndex)});
  }
}

void MutableAttributedString::reserve(std::size_t bytes, std::size_t runs) {
  text_.reserve(bytes);
  runs_.reserve(runs);
}

void MutableAttributedString::clear() {
  text_.clear();
  utf16Length_ = 0;
  runs_.clear();
  sets_.clear();
  setIndex_.clear();
  setsCompactionSize_ = kFirstCompactionSize;
}

void MutableAttributedString::shrinkToFit() {
  text_.shrink_to_fit();
  runs_.shrink_to_fit();
  sets_.shrink_to_fit();
}

template <typename Make>
std::uint32_t MutableAttributedString::findOrAddSet(const TextAttributes& attributes, Make&& make) {
  if (sets_.size() <= kScannedSets) {
    for (std::size_t i = 0; i < sets_.size(); ++i) {
      if (*sets_[i] == attributes) return static_cast<std::uint32_t>(i);
    }
    sets_.push_back(make());
    return static_cast<std::uint32_t>(sets_.size() - 1);
  }
  // Sets added while the table was scanned enter the index on its first use; from then on
  // each set enters it as it is added, hashed once.
  FlatIndex& index = setIndex_.get();
  while (index.size() < sets_.size()) index.add(hashOf(*sets_[index.size()]));
  const std::uint64_t hash = hashOf(attributes);
  if (const std::optional<std::size_t> found =
          index.find(hash, [&](std::size_t at) { return *sets_[at] == attributes; })) {
    return static_cast<std::uint32_t>(*found);
  }
  index.add(hash);
  sets_.push_back(make());
  return static_cast<std::uint32_t>(sets_.size() - 1);
}

std::uint32_t MutableAttributedString::setIndexOf(const AttributeSet& attributes) {
  const AttributeSet& set = attributes ? attributes : emptyAttributeSet();
  const std::size_t scanned = std::min(sets_.size(), kScannedSets);
  for (std::size_t i = 0; i < scanned; ++i) {
    if (sets_[i] == set) return static_cast<std::uint32_t>(i);
  }
  return findOrAddSet(*set, [&] { return set; });
}

std::uint32_t MutableAttributedString::setIndexOfValue(TextAttributes attributes) {
  return findOrAddSet(attributes, [&] {
    return attributes.empty() ? emptyAttributeSet() : makeAttributeSet(std::move(attributes));
  });
}

MutableAttributedString::SetIndex::SetIndex() = default;
MutableAttributedString::SetIndex::SetIndex(const SetIndex& /*other*/) {}
MutableAttributedString::SetIndex& MutableAttributedString::SetIndex::operator=(
    const SetIndex& other) {
  if (this != &other) index_.reset();
  return *this;
}
MutableAttributedString::SetIndex::SetIndex(SetIndex&&) noexcept = default;
MutableAttributedString::SetIndex& MutableAttributedString::SetIndex::operator=(
    SetIndex&&) noexcept = default;
MutableAttributedString::SetIndex::~SetIndex() = default;

FlatIndex& MutableAttributedString::SetIndex::get() {
  if (!index_) index_ = std::make_unique<FlatIndex>();
  return *index_;
}

void MutableAttributedString::SetIndex::clear() {
  index_.reset();
}

void MutableAttributedString::checkRange(NSRange range) const {
  if (range.location > utf16Length_ || range.length > utf16Length_ - range.location) {
    fatalError("Range out of bounds of the attributed string");
  }
}

std::size_t MutableAttributedString::runIndexAtUtf16(std::size_t index) const {
  const auto after = std::upper_bound(
      runs_.begin(), runs_.end(), index,
      [](std::size_t value, const RunStart& run) { return value < run.utf16Start; });
  return static_cast<std::size_t>(after - runs_.begin()) - 1;
}

std::size_t MutableAttributedString::runIndexAtByte(std::size_t byte) const {
  const auto after = std::upper_bound(
      runs_.begin(), runs_.end(), byte,
      [](std::size_t value, const RunStart& run) { return value < run.byteStart; });
  return static_cast<std::size_t>(after - runs_.begin()) - 1;
}

MutableAttributedString::Position MutableAttributedString::positionAt(std::size_t utf16Index,
                                                                      Rounding rounding) const {
  if (utf16Index >= utf16Length_) return {text_.size(), utf16Length_};
  const std::size_t runIndex = runIndexAtUtf16(utf16Index);
  Position position{runs_[runIndex].byteStart, runs_[runIndex].utf16Start};
  const bool ascii = runEndByte(runIndex) - position.byte == runEndUtf16(runIndex) - position.utf16;
  if (ascii) return {position.byte + (utf16Index - position.utf16), utf16Index};
  while (position.utf16 < utf16Index) {
    const auto lead = static_cast<unsigned char>(text_[position.byte]);
    const std::size_t units = utf8::utf16UnitsOfLead(lead);
    if (position.utf16 + units > utf16Index && rounding == Rounding::down) break;
    position.utf16 += units;
    position.byte += sequenceLengthOfLead(lead);
  }
  return position;
}

StringRange MutableAttributedString::byteRange(NSRange range) const {
  checkRange(range);
  const Position begin = positionAt(range.location, Rounding::down);
  if (range.length == 0) return {begin.byte, begin.byte};
  return {begin.byte, positionAt(range.end(), Rounding::up).byte};
}

std::size_t MutableAttributedString::splitRunAt(Position position) {
  if (position.byte >= text_.size()) return runs_.size();
  const std::size_t runIndex = runIndexAtByte(position.byte);
  if (runs_[runIndex].byteStart == position.byte) return runIndex;
  const RunStart split{static_cast<std::uint32_t>(position.byte),
                       static_cast<std::uint32_t>(position.utf16), runs_[runIndex].setIndex};
  runs_.insert(runs_.begin() + static_cast<std::ptrdiff_t>(runIndex + 1), split);
  return runIndex + 1;
}

void MutableAttributedString::mergeEqualRuns(std::size_t first, std::size_t last) {
  const auto begin = runs_.begin() + static_cast<std::ptrdiff_t>(first);
  const auto end = runs_.begin() + static_cast<std::ptrdiff_t>(last);
  const auto kept = std::unique(begin, end, [](const RunStart& left, const RunStart& right) {
    return left.setIndex == right.setIndex;
  });
  runs_.erase(kept, end);
}

void MutableAttributedString::addAttributes(const TextAttributes& attributes, NSRange range) {
  checkRange(range);
  if (range.length == 0 || attributes.empty()) return;
  const Position begin = positionAt(range.location, Rounding::down);
  const Position end = positionAt(range.end(), Rounding::up);
  const std::size_t first = splitRunAt(begin);
  const std::size_t last = splitRunAt(end);

  SetIndexMap mapSet(sets_.size());
  const auto resolve = [&](std::uint32_t index) {
    return setIndexOfValue(sets_[index]->addingAttributes(attributes));
  };
  for (std::size_t i = first; i < last; ++i) {
    runs_[i].setIndex = mapSet(runs_[i].setIndex, resolve);
  }
  mergeEqualRuns(first > 0 ? first - 1 : 0, std::min(last + 1, runs_.size()));
  if (sets_.size() > setsCompactionSize_) dropUnusedSets();
}

void MutableAttributedString::dropUnusedSets() {
  std::vector<std::uint32_t> newIndex(sets_.size(), kUnmapped);
  for (const RunStart& run : runs_) newIndex[run.setIndex] = 0;
  std::vector<AttributeSet> kept;
  for (std::size_t i = 0; i < sets_.size(); ++i) {
    if (newIndex[i] == kUnmapped) continue;
    newIndex[i] = static_cast<std::uint32_t>(kept.size());
    kept.push_back(std::move(sets_[i]));
  }
  sets_ = std::move(kept);
  setIndex_.clear();
  for (RunStart& run : runs_) run.setIndex = newIndex[run.setIndex];
  setsCompactionSize_ = std::max(kFirstCompactionSize, 2 * sets_.size());
}

const TextAttributes& MutableAttributedString::attributesAt(std::size_t index,
                                                            NSRange* effectiveRange) const {
  if (index >= utf16Length_) fatalError("Index out of bounds of the attributed string");
  const std::size_t runIndex = runIndexAtUtf16(index);
  if (effectiveRange) {
    const std::size_t start = runs_[runIndex].utf16Start;
    *effectiveRange = {start, runEndUtf16(runIndex) - start};
  }
  return *sets_[runs_[runIndex].setIndex];
}

bool MutableAttributedString::operator==(const MutableAttributedString& other) const {
  if (text_ != other.text_ || runs_.size() != other.runs_.size()) return false;
  for (std::size_t i = 0; i < runs_.size(); ++i) {
    if (runs_[i].byteStart != other.runs_[i].byteStart) return false;
    const AttributeSet& mine = sets_[runs_[i].setIndex];
    const AttributeSet& theirs = other.sets_[other.runs_[i].setIndex];
    if (mine != theirs && *mine != *theirs) return false;
  }
  return true;
}

}  // namespace tessary::platform
