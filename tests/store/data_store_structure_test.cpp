#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <tuple>
#include <vector>

#include "tessary/store/data_store.h"
#include "tessary/store/effect_file.h"

namespace tessary::store {
namespace {

using Kind = StructureChange::Kind;
using Told = std::tuple<Kind, std::optional<int>, std::optional<int>>;
constexpr auto kControl = DataUpdateSource::control;

// A store with cells "a" (sub-cells "a1", "a2") and "b", recording the structure changes it tells.
class DataStoreStructureTest : public ::testing::Test {
 protected:
  static CellConfigRef cell(const std::string& name, std::vector<CellConfigRef> subcells = {}) {
    auto cell = std::make_shared<CellConfig>();
    cell->name = name;
    cell->subcells = std::move(subcells);
    return cell;
  }
  static LayerConfigRef layerOf(std::vector<CellConfigRef> cells) {
    auto layer = std::make_shared<LayerConfig>();
    layer->cells = std::move(cells);
    DataStore::renumberCells(*layer);
    return layer;
  }
  std::vector<Told> told() const {
    std::vector<Told> changes;
    for (const auto& change : changes_) {
      changes.emplace_back(change.kind, change.cellIdx, change.subcellIdx);
    }
    return changes;
  }
  DataStore store_{layerOf({cell("a", {cell("a1"), cell("a2")}), cell("b")})};
  std::vector<StructureChange> changes_;
  const DataStore::ObserverToken token_ = store_.addStructureObserver(
      [this](const StructureChange& change) { changes_.push_back(change); });
};

TEST_F(DataStoreStructureTest, ChoicesNamesAndTexturesChangeOnceAndTellTheObservers) {
  int heardByRemoved = 0;
  const auto removed =
      store_.addStructureObserver([&](const StructureChange&) { ++heardByRemoved; });
  store_.setEmitterShape(EmitterShape::circle, kControl);
  store_.removeStructureObserver(removed);
  store_.setEmitterShape(EmitterShape::circle, kControl);
  store_.setEmitterMode(EmitterMode::volume, kControl);
  store_.setRenderMode(RenderMode::oldestFirst, DataUpdateSource::undoRedo);
  store_.setRenderMode(RenderMode::oldestFirst, DataUpdateSource::undoRedo);
  store_.setCellName(0, 1, "<script>\"ember\"", kControl);
  store_.setCellName(0, 1, "<script>\"ember\"", kControl);
  store_.setCellName(7, std::nullopt, "nobody", kControl);
  store_.setCellName(0, 5, "nobody", kControl);
  const CellConfigRef b = store_.layer()->cell(1);
  store_.setCellTexture(1, std::nullopt, platform::URL("star.png"), kControl);
  EXPECT_EQ(b->contentUrl, platform::URL("star.png"));
  EXPECT_EQ(b->contentsUrl, platform::URL("star.png"));
  store_.setCellTexture(1, std::nullopt, platform::URL("star.png"), kControl);
  store_.setCellTexture(1, std::nullopt, std::nullopt, kControl);
  EXPECT_FALSE(b->contentUrl.has_value());
  EXPECT_EQ(b->contentsUrl, platform::URL("None"));
  store_.setCellBuiltInTexture(1, std::nullopt, kControl);
  store_.setCellBuiltInTexture(1, std::nullopt, kControl);
  EXPECT_FALSE(b->contentUrl.has_value() || b->contentsUrl.has_value());

  const LayerConfig& layer = *store_.layer();
  EXPECT_EQ(heardByRemoved, 1);
  EXPECT_EQ(std::tie(layer.emitterShape, layer.emitterMode, layer.renderMode),
            std::tuple(EmitterShape::circle, EmitterMode::volume, RenderMode::oldestFirst));
  EXPECT_EQ(layer.cell(0, 1)->name, "<script>\"ember\"");
  EXPECT_EQ(changes_.at(2).source, DataUpdateSource::undoRedo);
  EXPECT_EQ(told(), (std::vector<Told>{{Kind::emitterShape, std::nullopt, std::nullopt},
                                       {Kind::emitterMode, std::nullopt, std::nullopt},
                                       {Kind::renderMode, std::nullopt, std::nullopt},
                                       {Kind::name, 0, 1},
                                       {Kind::texture, 1, std::nullopt},
                                       {Kind::texture, 1, std::nullopt},
                                       {Kind::texture, 1, std::nullopt}}));
}

TEST_F(DataStoreStructureTest, AddingAndRemovingCellsRenumbersThem) {
  EXPECT_EQ(store_.addCell(cell("c"), kControl), 2);
  EXPECT_EQ(store_.addSubcell(2, cell("c1"), kControl), 0);
  EXPECT_EQ(store_.addSubcell(9, cell("lost"), kControl), std::nullopt);
  EXPECT_TRUE(store_.removeCell(0, 0, kControl));
  EXPECT_EQ(store_.layer()->cell(0, 0)->name, "a2");
  EXPECT_TRUE(store_.removeCell(0, std::nullopt, kControl));
  for (const auto& [cellIdx, subcellIdx] :
       std::initializer_list<std::pair<int, std::optional<int>>>{
           {5, std::nullopt}, {0, 3}, {-1, std::nullopt}}) {
    EXPECT_FALSE(store_.removeCell(cellIdx, subcellIdx, kControl));
  }
  EXPECT_EQ(*store_.layer(), *layerOf({cell("b"), cell("c", {cell("c1")})}));
  EXPECT_EQ(told(), (std::vector<Told>{{Kind::cellAdded, 2, std::nullopt},
                                       {Kind::cellAdded, 2, 0},
                                       {Kind::cellRemoved, 0, 0},
                                       {Kind::cellRemoved, 0, std::nullopt}}));
}

TEST_F(DataStoreStructureTest, ReplacingTheLayerKeepsTheObjectAndSharesNothing) {
  const LayerConfigRef layer = store_.layer();
  const LayerConfigRef snapshot = EffectFile::demo();
  store_.replaceLayer(*snapshot, DataUpdateSource::undoRedo);
  EXPECT_EQ(store_.layer(), layer);
  EXPECT_EQ(*layer, *snapshot);
  store_.setCellName(0, std::nullopt, "changed", kControl);
  EXPECT_NE(snapshot->cells[0]->name, "changed");
  EXPECT_EQ(changes_.at(0).kind, Kind::layerReplaced);
}

}  // namespace
}  // namespace tessary::store
