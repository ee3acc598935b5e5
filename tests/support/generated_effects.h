#pragma once

// Seeded, reproducible effects for tests and benchmarks: any number of cells and sub-cells, every
// number of every digit count and sign, textures of every kind, and names meant to confuse a
// parser (quotes, backslashes, line breaks, other lines' text, pattern characters, emoji).

#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tessary/store/cell_config.h"
#include "tessary/store/data_store.h"
#include "tessary/store/layer_config.h"
#include "tessary/store/property_table.h"

namespace tessary::testing {

struct EffectShape {
  int cells = 3;
  int minSubcells = 0;
  int maxSubcells = 2;
  bool hostileNames = true;
  // Keep every cell's index equal to its position, as the store does; otherwise indices repeat.
  bool renumber = true;
};

inline const std::vector<std::string>& hostileNames() {
  // clang-format off
  static const std::vector<std::string> kNames{
      "spark", "fire \xf0\x9f\x94\xa5", "\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d", "quote \" inside",
      "back\\slash", "line\nbreak", "cell2.birthRate = 5", "x cell1.lifetime = 7.0\n",
      "subcell1_1.velocity = -3.0", "particlesLayer.emitterPosition = CGPoint(x: 1.0, y: 2.0)",
      "(.*=[a-z]+)\\E\\Q", "let cell1 = CAEmitterCell()", "\n\nlet cell1 = CAEmitterCell()\n",
      "Import texture -- Export texture", "tab\tand\rreturn", "", "=", "\xe2\x80\xa8separator"};
  // clang-format on
  return kNames;
}

// Zero of both signs, whole numbers, hundredths, fractions of one and any number.
inline void randomize(store::LimitedValue& value, std::mt19937& random) {
  std::uniform_real_distribution<double> real(-500.0, 500.0);
  const int kind = std::uniform_int_distribution<int>(0, 5)(random);
  const double number = kind == 0   ? 0.0
                        : kind == 1 ? std::round(real(random))
                        : kind == 2 ? std::round(real(random) * 100.0) / 100.0
                        : kind == 3 ? std::uniform_real_distribution<double>(0.0, 1.0)(random)
                        : kind == 4 ? -0.0
                                    : real(random);
  value.setValue(number);
}

inline double randomComponent(std::mt19937& random) {
  return std::uniform_real_distribution<double>(0.0, 1.0)(random);
}

inline store::CellConfigRef generateCell(std::mt19937& random, const EffectShape& shape, int index,
                                         std::optional<int> subindex) {
  auto cell = std::make_shared<store::CellConfig>();
  cell->index = index;
  cell->subindex = subindex;
  const auto& names = hostileNames();
  cell->name = shape.hostileNames
                   ? names[std::uniform_int_distribution<std::size_t>(0, names.size() - 1)(random)]
                   : "cell" + std::to_string(index);
  for (const store::PropertyTable::Row& row : store::PropertyTable::rows()) {
    if (row.isCellNumber()) randomize(*cell.*row.cellNumber, random);
  }
  cell->colorRed = randomComponent(random);
  cell->colorGreen = randomComponent(random);
  cell->colorBlue = randomComponent(random);
  cell->colorAlpha = randomComponent(random);
  // The built-in image, none, or a file named with dots or with a space and an emoji.
  const int texture = std::uniform_int_distribution<int>(0, 3)(random);
  if (texture == 1) cell->contentsUrl = platform::URL("None");
  if (texture >= 2) {
    cell->contentUrl =
        platform::URL(texture == 2 ? "fire.big.png" : "textures/spark \xf0\x9f\x8c\x9f.png");
    cell->contentsUrl = cell->contentUrl;
  }
  return cell;
}

inline store::LayerConfigRef generateEffect(std::uint32_t seed, const EffectShape& shape = {}) {
  std::mt19937 random(seed);
  auto layer = std::make_shared<store::LayerConfig>();
  layer->viewWidth.setValue(std::round(std::uniform_real_distribution<double>(1, 1000)(random)));
  layer->viewHeight.setValue(std::uniform_real_distribution<double>(1, 1000)(random));
  for (store::LimitedValue* value : {&layer->emitterPositionX, &layer->emitterPositionY,
                                     &layer->emitterWidth, &layer->emitterHeight}) {
    randomize(*value, random);
  }
  layer->emitterWidth.setValue(std::abs(layer->emitterWidth.value));
  layer->emitterHeight.setValue(std::abs(layer->emitterHeight.value));
  layer->backgroundRed = randomComponent(random);
  layer->backgroundGreen = randomComponent(random);
  layer->backgroundBlue = randomComponent(random);
  layer->backgroundAlpha = randomComponent(random);
  for (int i = 0; i < shape.cells; ++i) {
    const int index = shape.renumber ? i : std::uniform_int_distribution<int>(0, 2)(random);
    auto cell = generateCell(random, shape, index, std::nullopt);
    const int subcells =
        std::uniform_int_distribution<int>(shape.minSubcells, shape.maxSubcells)(random);
    for (int j = 0; j < subcells; ++j)
      cell->subcells.push_back(generateCell(random, shape, index, j % 2));
    layer->cells.push_back(cell);
  }
  if (shape.renumber) store::DataStore::renumberCells(*layer);
  return layer;
}

}  // namespace tessary::testing
