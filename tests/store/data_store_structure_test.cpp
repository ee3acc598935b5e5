#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "tessary/store/data_store.h"
#include "tessary/store/effect_file.h"

namespace tessary::store {
namespace {

using Kind = StructureChange::Kind;
using Told = std::tuple<Kind, std::optional<int>, std::optional<int>, DataUpdateSource>;
constexpr auto kControl = DataUpdateSource::control;
constexpr auto kNone = std::nullopt;

LayerConfigRef layerOf(const std::string& cells) {
  return EffectFile::parse(R"({"tessaryEffect": 1, "layer": {"cells": )" + cells + "}}", "cells");
}

// A store with cells "a" (sub-cells "a1", "a2") and "b", recording the structure changes it tells.
class DataStoreStructureTest : public ::testing::Test {
 protected:
  DataStore store_{
      layerOf(R"([{"name": "a", "subcells": [{"name": "a1"}, {"name": "a2"}]}, {"name": "b"}])")};
  std::vector<Told> told_;
  const DataStore::ObserverToken token_ = store_.addStructureObserver([this](const auto& change) {
    told_.emplace_back(change.kind, change.cellIdx, change.subcellIdx, change.source);
  });
};

TEST_F(DataStoreStructureTest, ChoicesNamesAndTexturesChangeOnceAndTellTheObservers) {
  int heardByRemoved = 0;
  const auto removed = store_.addStructureObserver([&](const auto&) { ++heardByRemoved; });
  store_.setEmitterShape(EmitterShape::circle, kControl);
  store_.removeStructureObserver(removed);
  store_.setEmitterShape(EmitterShape::circle, kControl);
  store_.setEmitterMode(EmitterMode::volume, kControl);
  for (int twice = 0; twice < 2; ++twice) {
    store_.setRenderMode(RenderMode::oldestFirst, DataUpdateSource::undoRedo);
    store_.setCellName(0, 1, "<script>\"ember\"", kControl);
    store_.setCellTexture(1, kNone, platform::URL("star.png"), kControl);
  }
  store_.setCellName(7, kNone, "nobody", kControl);
  store_.setCellName(0, 5, "nobody", kControl);
  const LayerConfig& layer = *store_.layer();
  const auto texture = [&] {
    return std::tuple(layer.cells[1]->contentUrl, layer.cells[1]->contentsUrl);
  };
  EXPECT_EQ(texture(), std::tuple(platform::URL("star.png"), platform::URL("star.png")));
  store_.setCellTexture(1, kNone, kNone, kControl);
  EXPECT_EQ(texture(), std::tuple(std::nullopt, platform::URL("None")));
  store_.setCellBuiltInTexture(1, kNone, kControl);
  store_.setCellBuiltInTexture(1, kNone, kControl);
  EXPECT_EQ(texture(), std::tuple(std::nullopt, std::nullopt));

  EXPECT_EQ(heardByRemoved, 1);
  EXPECT_EQ(std::tuple(layer.emitterShape, layer.emitterMode, layer.renderMode),
            std::tuple(EmitterShape::circle, EmitterMode::volume, RenderMode::oldestFirst));
  EXPECT_EQ(layer.cell(0, 1)->name, "<script>\"ember\"");
  EXPECT_EQ(told_, (std::vector<Told>{{Kind::emitterShape, kNone, kNone, kControl},
                                      {Kind::emitterMode, kNone, kNone, kControl},
                                      {Kind::renderMode, kNone, kNone, DataUpdateSource::undoRedo},
                                      {Kind::name, 0, 1, kControl},
                                      {Kind::texture, 1, kNone, kControl},
                                      {Kind::texture, 1, kNone, kControl},
                                      {Kind::texture, 1, kNone, kControl}}));
}

TEST_F(DataStoreStructureTest, AddingAndRemovingCellsRenumbersThem) {
  EXPECT_EQ(store_.addCell(layerOf(R"([{"name": "c"}])")->cells[0], kControl), 2);
  EXPECT_EQ(store_.addSubcell(2, layerOf(R"([{"name": "c1"}])")->cells[0], kControl), 0);
  EXPECT_EQ(store_.addSubcell(9, layerOf("[{}]")->cells[0], kControl), kNone);
  EXPECT_TRUE(store_.removeCell(0, 0, kControl));
  EXPECT_EQ(store_.layer()->cell(0, 0)->name, "a2");
  EXPECT_TRUE(store_.removeCell(0, kNone, kControl));
  for (const auto& [cellIdx, subcellIdx] :
       std::initializer_list<std::pair<int, std::optional<int>>>{
           {5, kNone}, {2, kNone}, {2, 0}, {0, 3}, {0, -1}, {-1, kNone}, {-1, 0}}) {
    EXPECT_FALSE(store_.removeCell(cellIdx, subcellIdx, kControl)) << cellIdx;
  }
  EXPECT_EQ(*store_.layer(),
            *layerOf(R"([{"name": "b"}, {"name": "c", "subcells": [{"name": "c1"}]}])"));
  EXPECT_EQ(told_, (std::vector<Told>{{Kind::cellAdded, 2, kNone, kControl},
                                      {Kind::cellAdded, 2, 0, kControl},
                                      {Kind::cellRemoved, 0, 0, kControl},
                                      {Kind::cellRemoved, 0, kNone, kControl}}));
}

// Replacing the layer keeps the object and copies every cell; a change to any one field at any
// depth then makes the two differ and leaves the replacement as it was (numbers: property table).
TEST_F(DataStoreStructureTest, ReplacingTheLayerKeepsTheObjectAndSharesNothing) {
  const auto nestedLayer = [] {
    return layerOf(R"([{"subcells": [{"subcells": [{}]}, {}, {}]}, {"subcells": [{}, {}, {}]}])");
  };
  using Change = std::function<void(LayerConfig&)>;
  const std::vector<std::pair<const char*, Change>> changes{
      {"render mode", [](LayerConfig& layer) { layer.renderMode = RenderMode::oldestFirst; }},
      {"cell count", [](LayerConfig& layer) { layer.cells.pop_back(); }},
      {"index", [](LayerConfig& layer) { layer.cells[0]->index = 1; }},
      {"subindex", [](LayerConfig& layer) { layer.cells[0]->subindex = 0; }},
      {"name", [](LayerConfig& layer) { layer.cells[0]->name = "Flame"; }},
      {"colour", [](LayerConfig& layer) { layer.cells[0]->colorAlpha = 0.5; }},
      {"texture", [](LayerConfig& layer) { layer.cells[0]->contentUrl = platform::URL("a.png"); }},
      {"contents", [](LayerConfig& layer) { layer.cells[0]->contentsUrl = platform::URL("None"); }},
      {"deeper", [](LayerConfig& layer) { layer.cells[0]->subcells[0]->subcells[0]->name = "x"; }},
      {"sub-cell count", [](LayerConfig& layer) { layer.cells[1]->subcells.pop_back(); }},
  };
  const LayerConfigRef layer = store_.layer();
  for (const auto& [what, change] : changes) {
    const LayerConfigRef replacement = nestedLayer();
    store_.replaceLayer(*replacement, DataUpdateSource::undoRedo);
    EXPECT_EQ(store_.layer(), layer);
    EXPECT_EQ(*layer, *replacement);
    change(*layer);
    EXPECT_FALSE(*layer == *replacement) << what;
    EXPECT_EQ(*replacement, *nestedLayer()) << what;
  }
  EXPECT_EQ(std::get<Kind>(told_.at(0)), Kind::layerReplaced);
}

}  // namespace
}  // namespace tessary::store
