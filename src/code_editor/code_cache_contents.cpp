#include "code_cache_contents.h"

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

const CodeCacheContents::Line* CodeCacheContents::Reader::find(const Key& key,
                                                               std::string_view text,
                                                               double textSize) {
  if (contents_ == nullptr || contents_->textSize != textSize) return nullptr;
  const Line* line = lineOf(key);
  if (line == nullptr || !line->reusable || line->part.textIn(contents_->text->string()) != text) {
    return nullptr;
  }
  return line;
}

const CodeCacheContents::Line* CodeCacheContents::Reader::lineOf(const Key& key) {
  const std::vector<Line>& lines = contents_->lines;
  if (expected_ < lines.size() && lines[expected_].key == key) return &lines[expected_++];
  if (!index_) {
    index_.emplace();
    index_->reserve(lines.size());
    for (const Line& line : lines) index_->add(line.key.hash());
  }
  const std::optional<std::size_t> found =
      index_->find(key.hash(), [&](std::size_t at) { return lines[at].key == key; });
  if (!found) return nullptr;
  expected_ = *found + 1;
  return &lines[*found];
}

}  // namespace tessary::code_editor
