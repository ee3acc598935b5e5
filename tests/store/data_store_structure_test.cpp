#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

#include "tessary/store/data_store.h"
#include "tessary/store/effect_file.h"

namespace tessary::store {
namespace {

using Kind = StructureChange::Kind;

struct StructureRecorder {
  explicit StructureRecorder(DataStore& store) {
    store.addStructureObserver(
        [this](const StructureChange& change) { changes.push_back(change); });
  }
  std::vector<StructureChange> changes;
};

CellConfigRef namedCell(const std::string& name) {
  auto cell = std::make_shared<CellConfig>();
  cell->name = name;
  return cell;
}

// Two cells "a" (with sub-cells "a1", "a2") and "b".
DataStore storeWithCells() {
  auto layer = std::make_shared<LayerConfig>();
  auto first = namedCell("a");
  first->subcells = {namedCell("a1"), namedCell("a2")};
  layer->cells = {first, namedCell("b")};
  return DataStore(layer);
}

void expectNumbering(const LayerConfig& layer) {
  for (std::size_t i = 0; i < layer.cells.size(); ++i) {
    const CellConfig& cell = *layer.cells[i];
    EXPECT_EQ(cell.index, static_cast<int>(i));
    EXPECT_FALSE(cell.subindex.has_value());
    for (std::size_t j = 0; j < cell.subcells.size(); ++j) {
      EXPECT_EQ(cell.subcells[j]->index, static_cast<int>(i));
      EXPECT_EQ(cell.subcells[j]->subindex, static_cast<int>(j));
    }
  }
}

TEST(DataStoreStructureTest, ListChoicesChangeOnceAndTellTheObservers) {
  DataStore store(std::make_shared<LayerConfig>());
  StructureRecorder recorder(store);
  store.setEmitterShape(EmitterShape::circle, DataUpdateSource::control);
  store.setEmitterShape(EmitterShape::circle, DataUpdateSource::control);
  store.setEmitterMode(EmitterMode::volume, DataUpdateSource::control);
  store.setRenderMode(RenderMode::oldestFirst, DataUpdateSource::undoRedo);
  store.setRenderMode(RenderMode::oldestFirst, DataUpdateSource::undoRedo);

  EXPECT_EQ(store.layer()->emitterShape, EmitterShape::circle);
  EXPECT_EQ(store.layer()->emitterMode, EmitterMode::volume);
  EXPECT_EQ(store.layer()->renderMode, RenderMode::oldestFirst);
  ASSERT_EQ(recorder.changes.size(), 3u);
  EXPECT_EQ(recorder.changes[0].kind, Kind::emitterShape);
  EXPECT_EQ(recorder.changes[1].kind, Kind::emitterMode);
  EXPECT_EQ(recorder.changes[2].kind, Kind::renderMode);
  EXPECT_EQ(recorder.changes[2].source, DataUpdateSource::undoRedo);
}

TEST(DataStoreStructureTest, NamesAndTexturesOfCellsAndSubcells) {
  DataStore store = storeWithCells();
  StructureRecorder recorder(store);
  store.setCellName(0, 1, "<script>\"ember\"", DataUpdateSource::control);
  store.setCellName(0, 1, "<script>\"ember\"", DataUpdateSource::control);
  store.setCellName(7, std::nullopt, "nobody", DataUpdateSource::control);
  store.setCellName(0, 5, "nobody", DataUpdateSource::control);
  EXPECT_EQ(store.layer()->cell(0, 1)->name, "<script>\"ember\"");

  const CellConfigRef cell = store.layer()->cell(1);
  store.setCellTexture(1, std::nullopt, platform::URL("star.png"), DataUpdateSource::control);
  EXPECT_EQ(cell->contentUrl, platform::URL("star.png"));
  EXPECT_EQ(cell->contentsUrl, platform::URL("star.png"));
  store.setCellTexture(1, std::nullopt, platform::URL("star.png"), DataUpdateSource::control);
  store.setCellTexture(1, std::nullopt, std::nullopt, DataUpdateSource::control);
  EXPECT_FALSE(cell->contentUrl.has_value());
  EXPECT_EQ(cell->contentsUrl, platform::URL("None"));
  store.setCellBuiltInTexture(1, std::nullopt, DataUpdateSource::control);
  EXPECT_FALSE(cell->contentUrl.has_value());
  EXPECT_FALSE(cell->contentsUrl.has_value());
  store.setCellBuiltInTexture(1, std::nullopt, DataUpdateSource::control);

  const std::vector<std::pair<Kind, std::optional<int>>> expected{{Kind::name, 1},
                                                                  {Kind::texture, std::nullopt},
                                                                  {Kind::texture, std::nullopt},
                                                                  {Kind::texture, std::nullopt}};
  ASSERT_EQ(recorder.changes.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(recorder.changes[i].kind, expected[i].first) << i;
    EXPECT_EQ(recorder.changes[i].subcellIdx, expected[i].second) << i;
  }
}

TEST(DataStoreStructureTest, TexturesSurviveASaveAndLoad) {
  DataStore store = storeWithCells();
  store.setCellTexture(0, std::nullopt, platform::URL("flame.png"), DataUpdateSource::control);
  store.setCellTexture(0, 0, std::nullopt, DataUpdateSource::control);
  const LayerConfigRef loaded = EffectFile::parse(EffectFile::serialize(*store.layer()), "x");
  EXPECT_EQ(*loaded, *store.layer());
}

TEST(DataStoreStructureTest, AddingAndRemovingCellsRenumbersThem) {
  DataStore store = storeWithCells();
  StructureRecorder recorder(store);
  EXPECT_EQ(store.addCell(namedCell("c"), DataUpdateSource::control), 2);
  EXPECT_EQ(store.addSubcell(2, namedCell("c1"), DataUpdateSource::control), 0);
  EXPECT_EQ(store.addSubcell(9, namedCell("lost"), DataUpdateSource::control), std::nullopt);
  expectNumbering(*store.layer());

  EXPECT_TRUE(store.removeCell(0, 0, DataUpdateSource::control));
  EXPECT_EQ(store.layer()->cell(0, 0)->name, "a2");
  EXPECT_TRUE(store.removeCell(0, std::nullopt, DataUpdateSource::control));
  EXPECT_FALSE(store.removeCell(5, std::nullopt, DataUpdateSource::control));
  EXPECT_FALSE(store.removeCell(0, 3, DataUpdateSource::control));
  EXPECT_FALSE(store.removeCell(-1, std::nullopt, DataUpdateSource::control));

  ASSERT_EQ(store.layer()->cells.size(), 2u);
  EXPECT_EQ(store.layer()->cell(0)->name, "b");
  EXPECT_EQ(store.layer()->cell(1, 0)->name, "c1");
  expectNumbering(*store.layer());

  ASSERT_EQ(recorder.changes.size(), 4u);
  EXPECT_EQ(recorder.changes[0].kind, Kind::cellAdded);
  EXPECT_EQ(recorder.changes[1].subcellIdx, 0);
  EXPECT_EQ(recorder.changes[2].kind, Kind::cellRemoved);
  EXPECT_EQ(recorder.changes[3].cellIdx, 0);
}

TEST(DataStoreStructureTest, ReplacingTheLayerKeepsTheObjectAndSharesNothing) {
  DataStore store = storeWithCells();
  const LayerConfigRef layer = store.layer();
  StructureRecorder recorder(store);
  const LayerConfigRef snapshot = EffectFile::demo();
  store.replaceLayer(*snapshot, DataUpdateSource::undoRedo);

  EXPECT_EQ(store.layer(), layer);
  EXPECT_EQ(*layer, *snapshot);
  ASSERT_FALSE(layer->cells.empty());
  EXPECT_NE(layer->cells[0], snapshot->cells[0]);
  store.setCellName(0, std::nullopt, "changed", DataUpdateSource::control);
  EXPECT_NE(snapshot->cells[0]->name, "changed");
  ASSERT_EQ(recorder.changes.size(), 2u);
  EXPECT_EQ(recorder.changes[0].kind, Kind::layerReplaced);
}

TEST(DataStoreStructureTest, RemovedObserversHearNothing) {
  DataStore store(std::make_shared<LayerConfig>());
  StructureRecorder recorder(store);
  int heard = 0;
  const auto token = store.addStructureObserver([&heard](const StructureChange&) { ++heard; });
  store.setEmitterShape(EmitterShape::line, DataUpdateSource::control);
  store.removeStructureObserver(token);
  store.setEmitterShape(EmitterShape::sphere, DataUpdateSource::control);
  EXPECT_EQ(heard, 1);
  EXPECT_EQ(recorder.changes.size(), 2u);
}

}  // namespace
}  // namespace tessary::store
