#include "effect_file_patch.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <functional>
#include <utility>
#include <vector>

#include "effect_writer.h"
#include "tessary/store/property_table.h"

namespace tessary::store {

namespace {

using Row = PropertyTable::Row;
using Kind = PropertyTable::Kind;
using Span = PlainJsonReader::ValueSpan;

// The same number, a zero's sign included, which the file keeps too.
bool sameNumber(double left, double right) {
  return left == right && std::signbit(left) == std::signbit(right);
}

class Patcher {
 public:
  // Notes a replacement for each value that changed; false for a change that is more than new
  // values: a cell added or removed, a texture that becomes the built-in image.
  bool properties(const LayerConfig& read, const CellConfig* readCell, const LayerConfig& target,
                  const CellConfig* targetCell) {
    const AnyKeyPath::Root root = readCell ? AnyKeyPath::Root::cell : AnyKeyPath::Root::layer;
    for (const Row& row : PropertyTable::rows()) {
      if (row.path.root() != root) continue;
      if (!property(row, read, readCell, target, targetCell)) return false;
    }
    return true;
  }

  // `text` with the replacements made; none when a changed value has no place in it.
  std::optional<std::string> apply(std::string_view text, const EffectValuePlaces& places) {
    // Few values change in a large effect: each place is looked for among them.
    std::sort(replacements_.begin(), replacements_.end(),
              [](const Replacement& left, const Replacement& right) {
                return std::less<>()(left.value, right.value);
              });
    for (const EffectValuePlace& place : places) {
      const auto found = std::lower_bound(replacements_.begin(), replacements_.end(), place.value,
                                          [](const Replacement& replacement, const void* value) {
                                            return std::less<>()(replacement.value, value);
                                          });
      if (found == replacements_.end() || found->value != place.value) continue;
      found->span = place.span;
    }
    // A value takes at least one byte, so a span that ends at 0 was never found.
    const bool allPlaced =
        std::all_of(replacements_.begin(), replacements_.end(),
                    [](const Replacement& replacement) { return replacement.span.end != 0; });
    if (!allPlaced) return std::nullopt;
    std::sort(replacements_.begin(), replacements_.end(),
              [](const Replacement& left, const Replacement& right) {
                return left.span.begin < right.span.begin;
              });
    std::string result;
    std::size_t copied = 0;
    for (const Replacement& replacement : replacements_) {
      result.append(text.substr(copied, replacement.span.begin - copied));
      result += replacement.text;
      copied = replacement.span.end;
    }
    result.append(text.substr(copied));
    return result;
  }

 private:
  struct Replacement {
    const void* value;
    std::string text;
    Span span{};
  };

  bool property(const Row& row, const LayerConfig& read, const CellConfig* readCell,
                const LayerConfig& target, const CellConfig* targetCell) {
    switch (row.kind) {
      case Kind::number: {
        const LimitedValue& from = readCell ? readCell->*row.cellNumber : read.*row.layerNumber;
        const LimitedValue& to = targetCell ? targetCell->*row.cellNumber : target.*row.layerNumber;
        number(from.value, to.value);
        number(from.min, to.min);
        number(from.max, to.max);
        return true;
      }
      case Kind::color:
        if (readCell) {
          number(readCell->colorRed, targetCell->colorRed);
          number(readCell->colorGreen, targetCell->colorGreen);
          number(readCell->colorBlue, targetCell->colorBlue);
          number(readCell->colorAlpha, targetCell->colorAlpha);
        } else {
          number(read.backgroundRed, target.backgroundRed);
          number(read.backgroundGreen, target.backgroundGreen);
          number(read.backgroundBlue, target.backgroundBlue);
          number(read.backgroundAlpha, target.backgroundAlpha);
        }
        return true;
      case Kind::text:
        scalar(readCell->name != targetCell->name, &readCell->name, row, target, targetCell);
        return true;
      case Kind::texture: {
        const bool changed = readCell->contentUrl != targetCell->contentUrl ||
                             readCell->contentsUrl != targetCell->contentsUrl;
        // The built-in image is a key left out, not a value.
        if (changed && !EffectWriter::isWritten(row, targetCell)) return false;
        scalar(changed, &readCell->contentUrl, row, target, targetCell);
        return true;
      }
      case Kind::emitterShape:
        scalar(read.emitterShape != target.emitterShape, &read.emitterShape, row, target,
               targetCell);
        return true;
      case Kind::emitterMode:
        scalar(read.emitterMode != target.emitterMode, &read.emitterMode, row, target, targetCell);
        return true;
      case Kind::renderMode:
        scalar(read.renderMode != target.renderMode, &read.renderMode, row, target, targetCell);
        return true;
      case Kind::cellList:
        return cells(read, readCell ? readCell->subcells : read.cells, target,
                     targetCell ? targetCell->subcells : target.cells);
    }
    return false;
  }

  bool cells(const LayerConfig& read, const std::vector<CellConfigRef>& readCells,
             const LayerConfig& target, const std::vector<CellConfigRef>& targetCells) {
    if (readCells.size() != targetCells.size()) return false;
    for (std::size_t i = 0; i < readCells.size(); ++i) {
      if (!properties(read, readCells[i].get(), target, targetCells[i].get())) return false;
    }
    return true;
  }

  void number(const double& from, double to) {
    if (!sameNumber(from, to)) replacements_.push_back({&from, EffectWriter::numberText(to)});
  }

  void scalar(bool changed, const void* from, const Row& row, const LayerConfig& target,
              const CellConfig* targetCell) {
    if (changed) replacements_.push_back({from, EffectWriter::scalarText(row, target, targetCell)});
  }

  std::vector<Replacement> replacements_;
};

}  // namespace

std::optional<std::string> EffectFilePatch::patched(std::string_view text, const LayerConfig& read,
                                                    const EffectValuePlaces& places,
                                                    const LayerConfig& target) {
  Patcher patcher;
  if (!patcher.properties(read, nullptr, target, nullptr)) return std::nullopt;
  return patcher.apply(text, places);
}

}  // namespace tessary::store
