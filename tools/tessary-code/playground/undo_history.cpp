#include "undo_history.h"

#include <algorithm>
#include <ranges>
#include <string>
#include <utility>

namespace tessary::tool {

namespace {

using store::CellConfig;
using store::CellConfigRef;
using store::DataStore;
using store::LayerConfigRef;
using store::StoreChange;
using store::StructureChange;

constexpr auto kSource = store::DataUpdateSource::undoRedo;

std::size_t cellBytes(const CellConfig& cell) {
  std::size_t bytes = sizeof(CellConfig) + cell.name.capacity();
  for (const CellConfigRef& subcell : cell.subcells) bytes += cellBytes(*subcell);
  return bytes;
}

std::size_t valueBytes(const StructureChange::Value& value) {
  if (const auto* name = std::get_if<std::string>(&value)) return name->capacity();
  if (const auto* cell = std::get_if<CellConfigRef>(&value)) return cellBytes(**cell);
  if (const auto* layer = std::get_if<LayerConfigRef>(&value)) {
    std::size_t bytes = sizeof(store::LayerConfig);
    for (const CellConfigRef& cell : (*layer)->cells) bytes += cellBytes(*cell);
    return bytes;
  }
  return 0;
}

// The history's own copy of a cell or layer: the one the store tells of may still be the live one.
StructureChange::Value ownCopy(const StructureChange::Value& value) {
  if (const auto* cell = std::get_if<CellConfigRef>(&value)) return (*cell)->deepCopy();
  if (const auto* layer = std::get_if<LayerConfigRef>(&value)) return (*layer)->deepCopy();
  return value;
}

bool sameNumberOrColor(const StoreChange& a, const StoreChange& b) {
  return a.keypath.droppingValue() == b.keypath.droppingValue() && a.cellIdx == b.cellIdx &&
         a.subcellIdx == b.subcellIdx && a.oldValue.index() == b.oldValue.index();
}

bool changesNothing(const std::variant<StoreChange, StructureChange>& change) {
  const auto* number = std::get_if<StoreChange>(&change);
  return number != nullptr && number->oldValue == number->newValue &&
         number->oldNumber == number->newNumber;
}

// Puts the value from before the change (`forward` false) or after it back into the store.
void put(DataStore& store, const StoreChange& change, bool forward) {
  const store::StoreValue& value = forward ? change.newValue : change.oldValue;
  if (std::holds_alternative<double>(value)) {
    store.restoreNumber(change.keypath, change.cellIdx, change.subcellIdx,
                        forward ? change.newNumber : change.oldNumber, kSource);
  } else if (change.cellIdx) {
    store.updateCell(change.keypath, *change.cellIdx, change.subcellIdx, value, {}, kSource);
  } else {
    store.updateLayer(change.keypath, value, {}, kSource);
  }
}

void put(DataStore& store, const StructureChange& change, bool forward) {
  const StructureChange::Value& value = forward ? change.newValue : change.oldValue;
  const int cellIdx = change.cellIdx.value_or(0);
  if (const auto* shape = std::get_if<store::EmitterShape>(&value)) {
    store.setEmitterShape(*shape, kSource);
  } else if (const auto* mode = std::get_if<store::EmitterMode>(&value)) {
    store.setEmitterMode(*mode, kSource);
  } else if (const auto* renderMode = std::get_if<store::RenderMode>(&value)) {
    store.setRenderMode(*renderMode, kSource);
  } else if (const auto* name = std::get_if<std::string>(&value)) {
    store.setCellName(cellIdx, change.subcellIdx, *name, kSource);
  } else if (const auto* texture = std::get_if<StructureChange::Texture>(&value)) {
    if (texture->builtIn) {
      store.setCellBuiltInTexture(cellIdx, change.subcellIdx, kSource);
    } else {
      store.setCellTexture(cellIdx, change.subcellIdx, texture->file, kSource);
    }
  } else if (const auto* cell = std::get_if<CellConfigRef>(&value)) {
    store.insertCell(cellIdx, change.subcellIdx, (*cell)->deepCopy(), kSource);
  } else if (const auto* layer = std::get_if<LayerConfigRef>(&value)) {
    store.replaceLayer(**layer, kSource);
  } else {
    // No cell on that side of the change: it added or removed the cell there.
    store.removeCell(cellIdx, change.subcellIdx, kSource);
  }
}

}  // namespace

void UndoHistory::record(const StoreChange& change) {
  if (change.source == kSource) return;
  auto* last = open_.empty() ? nullptr : std::get_if<StoreChange>(&open_.back());
  if (last != nullptr && sameNumberOrColor(*last, change)) {
    last->newValue = change.newValue;
    last->newNumber = change.newNumber;
    return;
  }
  open_.emplace_back(change);
}

void UndoHistory::record(const StructureChange& change) {
  if (change.source == kSource) return;
  StructureChange kept = change;
  kept.oldValue = ownCopy(change.oldValue);
  kept.newValue = ownCopy(change.newValue);
  open_.emplace_back(std::move(kept));
}

bool UndoHistory::commit() {
  std::erase_if(open_, changesNothing);
  if (open_.empty()) return false;
  Step step{std::exchange(open_, {}), 0};
  for (const Change& change : step.changes) {
    step.bytes += sizeof(Change);
    if (const auto* structure = std::get_if<StructureChange>(&change)) {
      step.bytes += valueBytes(structure->oldValue) + valueBytes(structure->newValue);
    }
  }
  while (!redo_.empty()) pop(redo_);
  push(undo_, std::move(step));
  while (undo_.size() > 1 && (undo_.size() > maxSteps_ || bytes_ > maxBytes_)) {
    bytes_ -= undo_.front().bytes;
    undo_.pop_front();
  }
  return true;
}

bool UndoHistory::undo(DataStore& store) {
  commit();
  if (undo_.empty()) return false;
  Step step = pop(undo_);
  for (const Change& change : std::views::reverse(step.changes)) {
    std::visit([&](const auto& told) { put(store, told, false); }, change);
  }
  push(redo_, std::move(step));
  return true;
}

bool UndoHistory::redo(DataStore& store) {
  commit();
  if (redo_.empty()) return false;
  Step step = pop(redo_);
  for (const Change& change : step.changes) {
    std::visit([&](const auto& told) { put(store, told, true); }, change);
  }
  push(undo_, std::move(step));
  return true;
}

void UndoHistory::push(std::deque<Step>& steps, Step step) {
  bytes_ += step.bytes;
  steps.push_back(std::move(step));
}

UndoHistory::Step UndoHistory::pop(std::deque<Step>& steps) {
  Step step = std::move(steps.back());
  steps.pop_back();
  bytes_ -= step.bytes;
  return step;
}

}  // namespace tessary::tool
