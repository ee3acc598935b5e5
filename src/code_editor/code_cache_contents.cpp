#include "code_cache_contents.h"

#include <utility>

#include "platform/word_hash.h"

namespace tessary::code_editor {

namespace {

// A present index and an absent one hash apart, index 0 included.
std::uint64_t wordOf(const std::optional<int>& index) {
  return index ? (std::uint64_t{1} << 32) | static_cast<std::uint32_t>(*index) : 0;
}

}  // namespace

std::uint64_t CodeCacheContents::Key::hash() const {
  return platform::WordHash::ofWords({keypath.hash(), wordOf(cellIndex), wordOf(subcellIndex)});
}

const CodeCacheContents::Line* CodeCacheContents::line(const Key& key) const {
  std::size_t expected = 0;
  return lines_ ? lines_->find(key, expected) : nullptr;
}

const CodeCacheContents::Line* CodeCacheContents::lineInOrder(const Key& key) {
  return lines_ ? lines_->find(key, expectedLine_) : nullptr;
}

CodeCacheContents::Lines& CodeCacheContents::ownLines() {
  // Copy on write: the table is shared with the cache this one was copied from.
  if (!lines_) {
    lines_ = std::make_shared<Lines>();
  } else if (lines_.use_count() > 1) {
    lines_ = std::make_shared<Lines>(*lines_);
  }
  return *lines_;
}

const CodeCacheContents::Line& CodeCacheContents::storeLine(
    const Key& key, const platform::MutableAttributedString& piece, double textSize,
    std::size_t textHash) {
  Lines& lines = ownLines();
  auto coloured = std::make_shared<ColouredLine>();
  const std::string& text = piece.string();
  coloured->recordText.assign(text, 0, text.size() - 1);
  coloured->utf16Length = piece.length();
  coloured->runs = piece.keptRuns([&](const platform::AttributeSet& set) {
    const std::uint64_t hash =
        platform::WordHash::ofWords({reinterpret_cast<std::uintptr_t>(set.get())});
    const auto matches = [&](std::size_t at) { return lines.sets[at] == set; };
    if (const std::optional<std::size_t> found = lines.setIndex.find(hash, matches)) {
      return static_cast<std::uint32_t>(*found);
    }
    lines.sets.push_back(set);
    return static_cast<std::uint32_t>(lines.setIndex.add(hash));
  });
  Line value{std::move(coloured), textSize, textHash};
  const std::uint64_t hash = key.hash();
  const auto matches = [&](std::size_t at) { return lines.entries[at].first == key; };
  if (const std::optional<std::size_t> found = lines.index.find(hash, matches)) {
    lines.entries[*found].second = std::move(value);
    return lines.entries[*found].second;
  }
  lines.index.add(hash);
  lines.entries.emplace_back(key, std::move(value));
  return lines.entries.back().second;
}

const std::vector<platform::AttributeSet>& CodeCacheContents::sets() const {
  static const std::vector<platform::AttributeSet> kNone;
  return lines_ ? lines_->sets : kNone;
}

void CodeCacheContents::reserveLines(std::size_t lines) {
  if (lines_ && lines_.use_count() > 1) return;
  Lines& own = ownLines();
  own.entries.reserve(lines);
  own.index.reserve(lines);
}

const CodeCacheContents::Line* CodeCacheContents::Lines::find(const Key& key,
                                                              std::size_t& expected) const {
  if (expected < entries.size() && entries[expected].first == key) {
    return &entries[expected++].second;
  }
  const std::optional<std::size_t> found =
      index.find(key.hash(), [&](std::size_t at) { return entries[at].first == key; });
  if (!found) return nullptr;
  expected = *found + 1;
  return &entries[*found].second;
}

}  // namespace tessary::code_editor
