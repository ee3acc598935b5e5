#include "tessary/code_editor/code_builder.h"

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <utility>

#include "code_cache_contents.h"
#include "first_occurrence_index.h"
#include "tessary/code_editor/snippet_layout.h"
#include "tessary/platform/utf16_length.h"

namespace tessary::code_editor {

namespace {

using platform::MutableAttributedString;
using store::AnyKeyPath;
using store::CellConfig;
using store::CellProperty;
using store::LayerProperty;
using Occurrence = FirstOccurrenceIndex::Occurrence;

constexpr double kActionsPerSecond = 60.0;

// Whether a build makes the cache and the records along with the text.
enum class BuildOutput { everything, textOnly };

}  // namespace

// One build: walks the effect in snippet order and assembles the result.
class CodeBuilderRun {
 public:
  CodeBuilderRun(const SectionBuilder& sections, const CodeHighlighter& highlighter,
                 std::optional<AnyKeyPath> changedKeypath, const store::LayerConfig& layer,
                 CodePlatform platform, const CodeCache& cache, BuildOutput output)
      : sections_(sections),
        highlighter_(highlighter),
        changedKeypath_(changedKeypath),
        layer_(layer),
        platform_(platform),
        output_(output),
        previous_(cache.contents_),
        previousLines_(previous_.get()),
        text_(std::make_shared<MutableAttributedString>()),
        textOwner_(text_, &text_->string()),
        contents_(std::make_shared<CodeCacheContents>()) {}

  BuildResult run() && {
    reserve();
    appendFrame(&CodeCacheContents::intro, SectionBuilder::introText(layer_, platform_));
    SnippetLayout::forEachLine(
        layer_, [this](AnyKeyPath key, const CellConfig* cell) { placeLine(key, cell); });
    appendFrame(&CodeCacheContents::outro, SectionBuilder::outroText(layer_));
    contents_->lastBuild = {text_->string().size(), text_->runCount()};
    contents_->textSize = highlighter_.textSize();
    contents_->text = text_;
    return BuildResult{std::move(text_), std::move(records_), CodeCache(std::move(contents_))};
  }

 private:
  using Frame = CodeCacheContents::Frame;

  // The records, the cache's lines and the snippet get the room the last build needed and a
  // little more, as snippets change little from one build to the next; a first build counts the
  // effect's lines. The first-occurrence index, needed only for effects that repeat names, gets
  // exactly the room its lines need.
  void reserve() {
    if (output_ == BuildOutput::textOnly) return;
    const auto withRoom = [](std::size_t size) { return size + size / 8; };
    piecesAreDistinct_ = indicesMatchPlaces(layer_);
    std::size_t lines = 0;
    if (previous_ && piecesAreDistinct_) {
      lines = withRoom(previous_->lines.size());
    } else {
      std::size_t headers = 0;
      SnippetLayout::forEachLine(layer_, [&](AnyKeyPath key, const CellConfig*) {
        ++lines;
        if (key == CellProperty::contents) ++headers;
      });
      if (!piecesAreDistinct_) firstOccurrences_.reserve(lines + headers);
    }
    records_.reserve(lines);
    contents_->lines.reserve(lines);
    if (!previous_) return;
    const CodeCacheContents::BuildSize& last = previous_->lastBuild;
    text_->reserve(withRoom(last.bytes), withRoom(last.runs));
  }

  void appendFrame(std::optional<Frame> CodeCacheContents::*slot, const std::string& text) {
    std::optional<Frame>& frame = contents_.get()->*slot;
    if (previous_) frame = previous_.get()->*slot;
    if (!frame || frame->textSize != highlighter_.textSize() ||
        frame->attributedString->string() != text) {
      frame = Frame{std::make_shared<const MutableAttributedString>(highlighter_.highlight(text)),
                    highlighter_.textSize()};
    }
    text_->append(*frame->attributedString);
  }

  void placeLine(AnyKeyPath key, const CellConfig* cell) {
    line_.clear();
    if (cell == nullptr) {
      sections_.appendLayerLine(line_, key, layer_, platform_);
    } else {
      sections_.appendCellLine(line_, key, *cell, platform_);
    }
    line_ += '\n';
    MutableAttributedString& text = *text_;
    if (output_ == BuildOutput::textOnly) {
      appendFresh(key, cell);
      return;
    }

    const CodeCacheContents::Key cacheKey{key,
                                          cell ? std::optional<int>(cell->index) : std::nullopt,
                                          cell ? cell->subindex : std::nullopt};
    const MutableAttributedString::Mark mark = text.mark();
    bool reusable = true;
    if (const CodeCacheContents::Line* kept =
            previousLines_.find(cacheKey, line_, highlighter_.textSize())) {
      text.appendPart(*previous_->text, kept->part, previousSetOf_);
    } else if (CodeBuilder::isChanged(key, changedKeypath_, platform_)) {
      // A line being changed is shown in the changed look and not reused.
      MutableAttributedString changedLook = highlighter_.highlightChanged(line_);
      addTextureLinks(changedLook, key, cell);
      text.append(changedLook);
      reusable = false;
    } else {
      appendFresh(key, cell);
      ++contents_->colouredLines;
    }
    const MutableAttributedString::Part part = text.partSince(mark);
    contents_->lines.push_back({cacheKey, part, reusable});

    const std::string_view piece = part.textIn(text.string());
    const Occurrence own{part.byteStart, part.byteLength, {part.utf16Start, part.utf16Length}};
    Occurrence first = own;
    if (!piecesAreDistinct_) {
      first = firstOccurrences_.firstOccurrence(text.string(), piece,
                                                FirstOccurrenceIndex::hashOf(piece), own);
      if (key == CellProperty::contents) registerBareHeader(own);
    }
    // The record's line goes without its newline.
    records_.emplace_back(
        textOwner_, platform::StringRange{part.byteStart, part.byteStart + part.byteLength - 1},
        first.range, key, cacheKey.cellIndex, cacheKey.subcellIndex);
  }

  // Whether every cell has the index (and sub-cell the sub-index) of its place, as the store
  // keeps them. Then no two cells share a variable name, no two pieces share a text, and no
  // piece occurs before its own place: every first occurrence is known without the index.
  static bool indicesMatchPlaces(const store::LayerConfig& layer) {
    for (std::size_t i = 0; i < layer.cells.size(); ++i) {
      const CellConfig& cell = *layer.cells[i];
      if (cell.index != static_cast<int>(i) || cell.subindex) return false;
      for (std::size_t j = 0; j < cell.subcells.size(); ++j) {
        const CellConfig& subcell = *cell.subcells[j];
        if (subcell.index != static_cast<int>(i) || subcell.subindex != static_cast<int>(j)) {
          return false;
        }
      }
    }
    return true;
  }

  // Colours `line_` onto the snippet.
  void appendFresh(AnyKeyPath key, const CellConfig* cell) {
    if (key != CellProperty::contents) {
      highlighter_.appendHighlighted(line_, *text_, appendState_);
      return;
    }
    freshLook_.clear();
    highlighter_.appendHighlighted(line_, freshLook_);
    addTextureLinks(freshLook_, key, cell);
    text_->append(freshLook_);
  }

  // Headers are coloured with their links on before they join the snippet.
  static void addTextureLinks(MutableAttributedString& piece, AnyKeyPath key,
                              const CellConfig* cell) {
    if (key != CellProperty::contents) return;
    SectionBuilder::addTextureLink(piece, cell, "Export");
    SectionBuilder::addTextureLink(piece, cell, "Import");
  }

  // A header with texture holds, from its empty line on, the whole header of a
  // cell of that name without texture.
  void registerBareHeader(const Occurrence& header) {
    const std::string_view text = text_->string();
    const std::string_view piece = text.substr(header.byteStart, header.byteLength);
    const std::size_t start = piece.rfind("\n\nlet ");
    if (start == 0 || start == std::string_view::npos) return;
    static constexpr std::string_view kDeclarationEnd = "CAEmitterCell()\n";
    const std::size_t end = piece.find(kDeclarationEnd, start);
    if (end == std::string_view::npos) return;
    const std::string_view bare = piece.substr(start, end + kDeclarationEnd.size() - start);
    const std::size_t utf16Start =
        header.range.location + platform::utf16Length(piece.substr(0, start));
    firstOccurrences_.add(text, Occurrence{header.byteStart + start,
                                           bare.size(),
                                           {utf16Start, platform::utf16Length(bare)}});
  }

  const SectionBuilder& sections_;
  const CodeHighlighter& highlighter_;
  std::optional<AnyKeyPath> changedKeypath_;
  const store::LayerConfig& layer_;
  CodePlatform platform_;
  BuildOutput output_;
  // The cache given: the last build's snippet and where its lines stand.
  std::shared_ptr<const CodeCacheContents> previous_;
  CodeCacheContents::Reader previousLines_;
  std::vector<std::uint32_t> previousSetOf_;  // the last snippet's sets in this one
  std::shared_ptr<MutableAttributedString> text_;
  std::shared_ptr<const std::string> textOwner_;  // the records' view of `text_`
  std::vector<CodeHistory> records_;
  std::shared_ptr<CodeCacheContents> contents_;  // the cache this build leaves
  FirstOccurrenceIndex firstOccurrences_;
  bool piecesAreDistinct_ = false;
  std::string line_;
  MutableAttributedString freshLook_;
  CodeHighlighter::AppendState appendState_;
};

CodeBuilder::CodeBuilder(double textSize, platform::DispatchQueue cacheQueue)
    : builderQueue_("tessary.builder", platform::DispatchQueue::QualityOfService::userInteractive,
                    platform::DispatchQueue::Kind::concurrent),
      throttler_(kActionsPerSecond),
      codeHighlighter_(textSize),
      cacheReadQueue_(std::move(cacheQueue)) {}

void CodeBuilder::textSizeIncreased(bool increased, platform::TextStorage* storage) {
  codeHighlighter_.textSizeIncreased(increased, storage);
}

bool CodeBuilder::isChanged(AnyKeyPath key, std::optional<AnyKeyPath> changedKeypath,
                            CodePlatform platform) {
  if (!changedKeypath || *changedKeypath == CellProperty::contents) return false;
  if (*changedKeypath == key) return true;
  // The lines that show another property besides the one they are keyed by.
  struct SharedLine {
    AnyKeyPath changed;
    AnyKeyPath line;
    bool macOSOnly = false;
  };
  static constexpr std::array kSharedLines{
      SharedLine{LayerProperty::emitterPositionY, LayerProperty::emitterPositionX},
      SharedLine{LayerProperty::emitterPositionX, LayerProperty::emitterPositionY},
      SharedLine{LayerProperty::emitterHeight, LayerProperty::emitterWidth},
      SharedLine{LayerProperty::emitterWidth, LayerProperty::emitterHeight},
      // The macOS position line measures Y from the bottom of the view.
      SharedLine{LayerProperty::viewHeight, LayerProperty::emitterPositionX, true},
  };
  return std::ranges::any_of(kSharedLines, [&](const SharedLine& shared) {
    return shared.changed == *changedKeypath && shared.line == key &&
           (!shared.macOSOnly || platform == CodePlatform::macOS);
  });
}

BuildResult CodeBuilder::buildMainThread(std::optional<AnyKeyPath> changedKeypath,
                                         const store::LayerConfig& newStore,
                                         CodePlatform platform) const {
  const CodeCache startingCache = cacheReadQueue_.sync([this] { return cache; });
  return CodeBuilderRun(sectionBuilder_, codeHighlighter_, changedKeypath, newStore, platform,
                        startingCache, BuildOutput::everything)
      .run();
}

std::shared_ptr<const platform::MutableAttributedString> CodeBuilder::buildText(
    const store::LayerConfig& layer, CodePlatform platform) const {
  return CodeBuilderRun(sectionBuilder_, codeHighlighter_, std::nullopt, layer, platform,
                        CodeCache(), BuildOutput::textOnly)
      .run()
      .text;
}

void CodeBuilder::buildAsync(std::optional<AnyKeyPath> changedKeypath,
                             const store::LayerConfig& newStore, CodePlatform platform,
                             Completion completion) const {
  // The copy of the effect the build reads is made here, on the calling thread,
  // at the call: the host goes on changing its store on its main thread while the
  // build waits in the throttler and runs on the builder queue, so the build
  // shows the effect as it was when asked and never reads objects being written.
  std::shared_ptr<const store::LayerConfig> snapshot = newStore.deepCopy();
  auto request = std::make_shared<const CodeBuilder>(*this);
  throttler_.run([request, changedKeypath, snapshot, platform, completion = std::move(completion)] {
    request->builderQueue_.async([request, changedKeypath, snapshot, platform, completion] {
      auto result = std::make_shared<const BuildResult>(
          request->buildMainThread(changedKeypath, *snapshot, platform));
      platform::DispatchQueue::main().async([completion, result] { completion(*result); });
    });
  });
}

}  // namespace tessary::code_editor
