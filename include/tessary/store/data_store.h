#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <variant>

#include "tessary/platform/color.h"
#include "tessary/store/data_update_source.h"
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

  ObserverToken addObserver(Observer observer);
  void removeObserver(ObserverToken token);

  // Keeps every cell's `index` and `subindex` equal to its position in its list.
  static void renumberCells(LayerConfig& layer);

 private:
  void notify(const StoreChange& change);

  LayerConfigRef layer_;
  std::map<ObserverToken, Observer> observers_;
  ObserverToken nextToken_ = 1;
};

}  // namespace tessary::store
