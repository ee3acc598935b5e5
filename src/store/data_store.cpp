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

// Writes a number into a `LimitedValue`; gives the old one when the value changed.
std::optional<LimitedValue> writeNumber(LimitedValue& target, double value) {
  const LimitedValue before = target;
  if (!target.setValue(value) || target == before) return std::nullopt;
  return before;
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

StructureChange::Texture textureOf(const CellConfig& cell) {
  return {cell.contentUrl, !cell.contentUrl && !cell.contentsUrl};
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
    notify({keypath, std::nullopt, std::nullopt, old->value, target->value, source, *old, *target});
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
    notify({keypath, cellIdx, subcellIdx, old->value, target->value, source, *old, *target});
    return;
  }
  if (keypath != CellProperty::color) return;
  const auto old = writeColor(cell->colorRed, cell->colorGreen, cell->colorBlue, cell->colorAlpha,
                              std::get<platform::Color>(to));
  if (old) notify({keypath, cellIdx, subcellIdx, *old, cell->color(), source});
}

void DataStore::restoreNumber(AnyKeyPath keypath, std::optional<int> cellIdx,
                              std::optional<int> subcellIdx, LimitedValue number,
                              DataUpdateSource source) {
  CellConfigRef cell;
  if (cellIdx) {
    cell = layer_->cell(*cellIdx, subcellIdx);
    if (!cell) return;
  }
  LimitedValue* target = cell ? cell->limitedValue(keypath) : layer_->limitedValue(keypath);
  if (target == nullptr || *target == number) return;
  const LimitedValue old = std::exchange(*target, number);
  notify({keypath, cellIdx, subcellIdx, old.value, number.value, source, old, number});
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
  const EmitterShape old = std::exchange(layer_->emitterShape, shape);
  notifyStructure(
      {StructureChange::Kind::emitterShape, std::nullopt, std::nullopt, source, old, shape});
}

void DataStore::setEmitterMode(EmitterMode mode, DataUpdateSource source) {
  if (layer_->emitterMode == mode) return;
  const EmitterMode old = std::exchange(layer_->emitterMode, mode);
  notifyStructure(
      {StructureChange::Kind::emitterMode, std::nullopt, std::nullopt, source, old, mode});
}

void DataStore::setRenderMode(RenderMode mode, DataUpdateSource source) {
  if (layer_->renderMode == mode) return;
  const RenderMode old = std::exchange(layer_->renderMode, mode);
  notifyStructure(
      {StructureChange::Kind::renderMode, std::nullopt, std::nullopt, source, old, mode});
}

void DataStore::setCellName(int cellIdx, std::optional<int> subcellIdx, std::string name,
                            DataUpdateSource source) {
  const CellConfigRef cell = layer_->cell(cellIdx, subcellIdx);
  if (!cell || cell->name == name) return;
  std::string old = std::exchange(cell->name, std::move(name));
  notifyStructure(
      {StructureChange::Kind::name, cellIdx, subcellIdx, source, std::move(old), cell->name});
}

void DataStore::setCellTexture(int cellIdx, std::optional<int> subcellIdx,
                               std::optional<platform::URL> file, DataUpdateSource source) {
  const CellConfigRef cell = layer_->cell(cellIdx, subcellIdx);
  if (!cell) return;
  const std::optional<platform::URL> contentsUrl = file ? file : platform::URL("None");
  if (cell->contentUrl == file && cell->contentsUrl == contentsUrl) return;
  const StructureChange::Texture old = textureOf(*cell);
  cell->contentUrl = std::move(file);
  cell->contentsUrl = contentsUrl;
  notifyStructure(
      {StructureChange::Kind::texture, cellIdx, subcellIdx, source, old, textureOf(*cell)});
}

void DataStore::setCellBuiltInTexture(int cellIdx, std::optional<int> subcellIdx,
                                      DataUpdateSource source) {
  const CellConfigRef cell = layer_->cell(cellIdx, subcellIdx);
  if (!cell || (!cell->contentUrl && !cell->contentsUrl)) return;
  const StructureChange::Texture old = textureOf(*cell);
  cell->contentUrl.reset();
  cell->contentsUrl.reset();
  notifyStructure(
      {StructureChange::Kind::texture, cellIdx, subcellIdx, source, old, textureOf(*cell)});
}

int DataStore::addCell(CellConfigRef cell, DataUpdateSource source) {
  const int index = static_cast<int>(layer_->cells.size());
  insertCell(index, std::nullopt, std::move(cell), source);
  return index;
}

std::optional<int> DataStore::addSubcell(int cellIdx, CellConfigRef subcell,
                                         DataUpdateSource source) {
  const CellConfigRef parent = layer_->cell(cellIdx);
  if (!parent) return std::nullopt;
  const int subindex = static_cast<int>(parent->subcells.size());
  insertCell(cellIdx, subindex, std::move(subcell), source);
  return subindex;
}

std::vector<CellConfigRef>* DataStore::cellList(int cellIdx, std::optional<int> subcellIdx) const {
  if (!subcellIdx) return &layer_->cells;
  const CellConfigRef parent = layer_->cell(cellIdx);
  return parent ? &parent->subcells : nullptr;
}

bool DataStore::insertCell(int cellIdx, std::optional<int> subcellIdx, CellConfigRef cell,
                           DataUpdateSource source) {
  std::vector<CellConfigRef>* list = cellList(cellIdx, subcellIdx);
  const int position = subcellIdx.value_or(cellIdx);
  if (list == nullptr || position < 0 || std::cmp_greater(position, list->size())) return false;
  list->insert(list->begin() + position, cell);
  renumberCells(*layer_);
  notifyStructure({StructureChange::Kind::cellAdded, cellIdx, subcellIdx, source, std::monostate(),
                   std::move(cell)});
  return true;
}

bool DataStore::removeCell(int cellIdx, std::optional<int> subcellIdx, DataUpdateSource source) {
  if (!layer_->cell(cellIdx, subcellIdx)) return false;
  std::vector<CellConfigRef>& list = *cellList(cellIdx, subcellIdx);
  const auto position = list.begin() + subcellIdx.value_or(cellIdx);
  CellConfigRef removed = std::move(*position);
  list.erase(position);
  renumberCells(*layer_);
  notifyStructure({StructureChange::Kind::cellRemoved, cellIdx, subcellIdx, source,
                   std::move(removed), std::monostate()});
  return true;
}

void DataStore::replaceLayer(const LayerConfig& layer, DataUpdateSource source) {
  auto old = std::make_shared<LayerConfig>(std::exchange(*layer_, *layer.deepCopy()));
  renumberCells(*layer_);
  notifyStructure({StructureChange::Kind::layerReplaced, std::nullopt, std::nullopt, source,
                   std::move(old), layer_});
}

}  // namespace tessary::store
