#include <gtest/gtest.h>

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

CellConfigRef cellNamed(const std::string& name) {
  return layerOf(R"([{"name": ")" + name + R"("}])")->cells[0];
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
  EXPECT_EQ(store_.addCell(cellNamed("c"), kControl), 2);
  EXPECT_EQ(store_.addSubcell(2, cellNamed("c1"), kControl), 0);
  EXPECT_EQ(store_.addSubcell(9, cellNamed("lost"), kControl), kNone);
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

TEST_F(DataStoreStructureTest, ReplacingTheLayerKeepsTheObjectAndSharesNothing) {
  const LayerConfigRef layer = store_.layer();
  const LayerConfigRef snapshot = EffectFile::demo();
  store_.replaceLayer(*snapshot, DataUpdateSource::undoRedo);
  EXPECT_EQ(store_.layer(), layer);
  EXPECT_EQ(*layer, *snapshot);
  store_.setCellName(0, kNone, "changed", kControl);
  EXPECT_NE(snapshot->cells[0]->name, "changed");
  EXPECT_EQ(std::get<Kind>(told_.at(0)), Kind::layerReplaced);
}

}  // namespace
}  // namespace tessary::store
