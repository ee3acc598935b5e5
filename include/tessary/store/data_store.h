#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "tessary/platform/color.h"
#include "tessary/platform/url.h"
#include "tessary/store/cell_config.h"
#include "tessary/store/data_update_source.h"
#include "tessary/store/emitter_modes.h"
#include "tessary/store/key_path.h"
#include "tessary/store/layer_config.h"

namespace tessary::store {

// A value written into the store: a number for a `LimitedValue` property, a colour for the
// background or a cell's colour.
using StoreValue = std::variant<double, platform::Color>;

// One change the store made.
struct StoreChange {
  AnyKeyPath keypath;             // the property, as passed to the update
  std::optional<int> cellIdx;     // absent for a layer property
  std::optional<int> subcellIdx;  // present for a sub-cell
  StoreValue oldValue;
  StoreValue newValue;
  DataUpdateSource source;
  // For a number, the whole `LimitedValue` before and after: a value beyond the slider bounds
  // widens them, and taking the change back narrows them again.
  LimitedValue oldNumber{};
  LimitedValue newNumber{};
};

// A change the store made that is no number or colour: a choice from a list, a cell's name or
// texture, a cell added or removed, or the whole layer replaced.
struct StructureChange {
  enum class Kind {
    emitterShape,
    emitterMode,
    renderMode,
    name,
    texture,
    cellAdded,
    cellRemoved,
    layerReplaced,
  };
  // The image a cell is drawn with: a file, no texture at all, or the built-in image.
  struct Texture {
    std::optional<platform::URL> file;
    bool builtIn = false;
    bool operator==(const Texture&) const = default;
  };
  // What stood there before the change and what the change put there: the choice, the name, the
  // texture, the cell (none where a cell is added or removed) or the whole layer. Enough to make
  // the change again or to take it back.
  using Value = std::variant<std::monostate, EmitterShape, EmitterMode, RenderMode, std::string,
                             Texture, CellConfigRef, LayerConfigRef>;

  Kind kind;
  std::optional<int> cellIdx;     // the cell concerned (as it was numbered before a removal)
  std::optional<int> subcellIdx;  // present for a sub-cell
  DataUpdateSource source;
  Value oldValue;
  Value newValue;
};

// Owns one layer and is the only way to change it. Observers hear of every change it makes, in
// the order it makes them, on the thread that made it.
class DataStore {
 public:
  using UpdateTextfield = std::function<void(double)>;
  using Observer = std::function<void(const StoreChange&)>;
  using ObserverToken = std::size_t;

  explicit DataStore(LayerConfigRef layer);

  const LayerConfigRef& layer() const { return layer_; }

  // Writes a number into a layer `LimitedValue` property (or into the value inside it), or a
  // colour into `background`. A number that is not finite is refused; a number outside the
  // bounds widens them; colour components are clamped to 0...1. Anything else is ignored.
  void updateLayer(AnyKeyPath keypath, StoreValue to, const UpdateTextfield& updateTextfield,
                   DataUpdateSource source);
  // The same for top-level cell `cellIdx`, or its sub-cell `subcellIdx`. A cell that does not
  // exist is ignored.
  void updateCell(AnyKeyPath keypath, int cellIdx, std::optional<int> subcellIdx, StoreValue to,
                  const UpdateTextfield& updateTextfield, DataUpdateSource source);
  // Puts back a whole `LimitedValue` of the layer (no `cellIdx`) or of a cell, its slider bounds
  // as given, as taking a change back does. A key path to no number, or a cell that does not
  // exist, is ignored.
  void restoreNumber(AnyKeyPath keypath, std::optional<int> cellIdx, std::optional<int> subcellIdx,
                     LimitedValue number, DataUpdateSource source);

  ObserverToken addObserver(Observer observer);
  void removeObserver(ObserverToken token);

  // Keeps every cell's `index` and `subindex` equal to its position in its list.
  static void renumberCells(LayerConfig& layer);

  // Changes that are no number or colour. Each one that changes something tells the structure
  // observers; one that would change nothing, or names a cell that does not exist, is ignored.
  using StructureObserver = std::function<void(const StructureChange&)>;
  ObserverToken addStructureObserver(StructureObserver observer);
  void removeStructureObserver(ObserverToken token);

  void setEmitterShape(EmitterShape shape, DataUpdateSource source);
  void setEmitterMode(EmitterMode mode, DataUpdateSource source);
  void setRenderMode(RenderMode mode, DataUpdateSource source);
  void setCellName(int cellIdx, std::optional<int> subcellIdx, std::string name,
                   DataUpdateSource source);
  // Draws the cell with the image file `file`, or with no texture at all when `file` is absent.
  void setCellTexture(int cellIdx, std::optional<int> subcellIdx, std::optional<platform::URL> file,
                      DataUpdateSource source);
  // Draws the cell with the built-in image.
  void setCellBuiltInTexture(int cellIdx, std::optional<int> subcellIdx, DataUpdateSource source);

  // Appends `cell` to the layer's cells and gives its index.
  int addCell(CellConfigRef cell, DataUpdateSource source);
  // Appends `subcell` to the sub-cells of cell `cellIdx` and gives its sub-index; none when
  // there is no such cell.
  std::optional<int> addSubcell(int cellIdx, CellConfigRef subcell, DataUpdateSource source);
  // Puts `cell` into the layer's cells at `cellIdx`, or into the sub-cells of cell `cellIdx` at
  // `subcellIdx`; the cells from there on move down one place. False when that place is beyond
  // the end of its list.
  bool insertCell(int cellIdx, std::optional<int> subcellIdx, CellConfigRef cell,
                  DataUpdateSource source);
  // Removes cell `cellIdx` (with its sub-cells), or its sub-cell `subcellIdx`; the cells after
  // it move up one place. False when there is no such cell.
  bool removeCell(int cellIdx, std::optional<int> subcellIdx, DataUpdateSource source);
  // Makes the layer an independent copy of `layer`; the layer object itself stays the same, so
  // references to it stay valid.
  void replaceLayer(const LayerConfig& layer, DataUpdateSource source);

 private:
  void notify(const StoreChange& change);
  void notifyStructure(const StructureChange& change);
  std::vector<CellConfigRef>* cellList(int cellIdx, std::optional<int> subcellIdx) const;

  LayerConfigRef layer_;
  std::map<ObserverToken, Observer> observers_;
  ObserverToken nextToken_ = 1;
  std::map<ObserverToken, StructureObserver> structureObservers_;
};

}  // namespace tessary::store
