#include "tessary/store/data_store.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace tessary::store {

namespace {

double clampedComponent(double component) {
  return std::clamp(component, 0.0, 1.0);
}

platform::Color clampedColor(const platform::Color& color) {
  return {clampedComponent(color.red), clampedComponent(color.green), clampedComponent(color.blue),
          clampedComponent(color.alpha)};
}

bool isFinite(const platform::Color& color) {
  return std::isfinite(color.red) && std::isfinite(color.green) && std::isfinite(color.blue) &&
         std::isfinite(color.alpha);
}

// Writes a number into a `LimitedValue`; gives the old value when the value changed.
std::optional<double> writeNumber(LimitedValue& target, double value) {
  const LimitedValue before = target;
  if (!target.setValue(value) || target == before) return std::nullopt;
  return before.value;
}

// Writes a colour through the four component fields; gives the old colour when it changed.
std::optional<platform::Color> writeColor(double& red, double& green, double& blue, double& alpha,
                                          const platform::Color& value) {
  if (!isFinite(value)) return std::nullopt;
  const platform::Color before{red, green, blue, alpha};
  const platform::Color after = clampedColor(value);
  if (after == before) return std::nullopt;
  red = after.red;
  green = after.green;
  blue = after.blue;
  alpha = after.alpha;
  return before;
}

void renumber(std::vector<CellConfigRef>& cells, int parentIndex, bool areSubcells) {
  for (std::size_t position = 0; position < cells.size(); ++position) {
    CellConfig& cell = *cells[position];
    const int index = static_cast<int>(position);
    if (areSubcells) {
      cell.index = parentIndex;
      cell.subindex = index;
    } else {
      cell.index = index;
      cell.subindex.reset();
    }
    renumber(cell.subcells, cell.index, true);
  }
}

}  // namespace

DataStore::DataStore(LayerConfigRef layer) : layer_(std::move(layer)) {
  renumberCells(*layer_);
}

void DataStore::updateLayer(AnyKeyPath keypath, StoreValue to,
                            const UpdateTextfield& updateTextfield, DataUpdateSource source) {
  LayerConfig& layer = *layer_;
  if (const double* number = std::get_if<double>(&to)) {
    LimitedValue* target = layer.limitedValue(keypath);
    if (target == nullptr) return;
    const auto old = writeNumber(*target, *number);
    if (!old) return;
    if (updateTextfield) updateTextfield(target->value);
    notify({keypath, std::nullopt, std::nullopt, *old, target->value, source});
    return;
  }
  if (keypath != LayerProperty::background) return;
  const auto old = writeColor(layer.backgroundRed, layer.backgroundGreen, layer.backgroundBlue,
                              layer.backgroundAlpha, std::get<platform::Color>(to));
  if (old) notify({keypath, std::nullopt, std::nullopt, *old, layer.background(), source});
}

void DataStore::updateCell(AnyKeyPath keypath, int cellIdx, std::optional<int> subcellIdx,
                           StoreValue to, const UpdateTextfield& updateTextfield,
                           DataUpdateSource source) {
  const CellConfigRef cell = layer_->cell(cellIdx, subcellIdx);
  if (!cell) return;
  if (const double* number = std::get_if<double>(&to)) {
    LimitedValue* target = cell->limitedValue(keypath);
    if (target == nullptr) return;
    const auto old = writeNumber(*target, *number);
    if (!old) return;
    if (updateTextfield) updateTextfield(target->value);
    notify({keypath, cellIdx, subcellIdx, *old, target->value, source});
    return;
  }
  if (keypath != CellProperty::color) return;
  const auto old = writeColor(cell->colorRed, cell->colorGreen, cell->colorBlue, cell->colorAlpha,
                              std::get<platform::Color>(to));
  if (old) notify({keypath, cellIdx, subcellIdx, *old, cell->color(), source});
}

DataStore::ObserverToken DataStore::addObserver(Observer observer) {
  const ObserverToken token = nextToken_++;
  observers_.emplace(token, std::move(observer));
  return token;
}

void DataStore::removeObserver(ObserverToken token) {
  observers_.erase(token);
}

void DataStore::notify(const StoreChange& change) {
  for (const auto& [token, observer] : observers_) observer(change);
}

void DataStore::renumberCells(LayerConfig& layer) {
  renumber(layer.cells, 0, false);
}

}  // namespace tessary::store
