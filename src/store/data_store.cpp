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

DataStore::ObserverToken DataStore::addStructureObserver(StructureObserver observer) {
  const ObserverToken token = nextToken_++;
  structureObservers_.emplace(token, std::move(observer));
  return token;
}

void DataStore::removeStructureObserver(ObserverToken token) {
  structureObservers_.erase(token);
}

void DataStore::notifyStructure(const StructureChange& change) {
  for (const auto& [token, observer] : structureObservers_) observer(change);
}

void DataStore::setEmitterShape(EmitterShape shape, DataUpdateSource source) {
  if (layer_->emitterShape == shape) return;
  layer_->emitterShape = shape;
  notifyStructure({StructureChange::Kind::emitterShape, std::nullopt, std::nullopt, source});
}

void DataStore::setEmitterMode(EmitterMode mode, DataUpdateSource source) {
  if (layer_->emitterMode == mode) return;
  layer_->emitterMode = mode;
  notifyStructure({StructureChange::Kind::emitterMode, std::nullopt, std::nullopt, source});
}

void DataStore::setRenderMode(RenderMode mode, DataUpdateSource source) {
  if (layer_->renderMode == mode) return;
  layer_->renderMode = mode;
  notifyStructure({StructureChange::Kind::renderMode, std::nullopt, std::nullopt, source});
}

void DataStore::setCellName(int cellIdx, std::optional<int> subcellIdx, std::string name,
                            DataUpdateSource source) {
  const CellConfigRef cell = layer_->cell(cellIdx, subcellIdx);
  if (!cell || cell->name == name) return;
  cell->name = std::move(name);
  notifyStructure({StructureChange::Kind::name, cellIdx, subcellIdx, source});
}

void DataStore::setCellTexture(int cellIdx, std::optional<int> subcellIdx,
                               std::optional<platform::URL> file, DataUpdateSource source) {
  const CellConfigRef cell = layer_->cell(cellIdx, subcellIdx);
  if (!cell) return;
  const std::optional<platform::URL> contentsUrl = file ? file : platform::URL("None");
  if (cell->contentUrl == file && cell->contentsUrl == contentsUrl) return;
  cell->contentUrl = std::move(file);
  cell->contentsUrl = contentsUrl;
  notifyStructure({StructureChange::Kind::texture, cellIdx, subcellIdx, source});
}

void DataStore::setCellBuiltInTexture(int cellIdx, std::optional<int> subcellIdx,
                                      DataUpdateSource source) {
  const CellConfigRef cell = layer_->cell(cellIdx, subcellIdx);
  if (!cell || (!cell->contentUrl && !cell->contentsUrl)) return;
  cell->contentUrl.reset();
  cell->contentsUrl.reset();
  notifyStructure({StructureChange::Kind::texture, cellIdx, subcellIdx, source});
}

int DataStore::addCell(CellConfigRef cell, DataUpdateSource source) {
  layer_->cells.push_back(std::move(cell));
  renumberCells(*layer_);
  const int index = static_cast<int>(layer_->cells.size()) - 1;
  notifyStructure({StructureChange::Kind::cellAdded, index, std::nullopt, source});
  return index;
}

std::optional<int> DataStore::addSubcell(int cellIdx, CellConfigRef subcell,
                                         DataUpdateSource source) {
  const CellConfigRef parent = layer_->cell(cellIdx);
  if (!parent) return std::nullopt;
  parent->subcells.push_back(std::move(subcell));
  renumberCells(*layer_);
  const int subindex = static_cast<int>(parent->subcells.size()) - 1;
  notifyStructure({StructureChange::Kind::cellAdded, cellIdx, subindex, source});
  return subindex;
}

bool DataStore::removeCell(int cellIdx, std::optional<int> subcellIdx, DataUpdateSource source) {
  if (!layer_->cell(cellIdx, subcellIdx)) return false;
  std::vector<CellConfigRef>& list =
      subcellIdx ? layer_->cells[static_cast<std::size_t>(cellIdx)]->subcells : layer_->cells;
  list.erase(list.begin() + (subcellIdx ? *subcellIdx : cellIdx));
  renumberCells(*layer_);
  notifyStructure({StructureChange::Kind::cellRemoved, cellIdx, subcellIdx, source});
  return true;
}

void DataStore::replaceLayer(const LayerConfig& layer, DataUpdateSource source) {
  *layer_ = *layer.deepCopy();
  renumberCells(*layer_);
  notifyStructure({StructureChange::Kind::layerReplaced, std::nullopt, std::nullopt, source});
}

}  // namespace tessary::store
