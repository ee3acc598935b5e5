// Importing emitter code: hand-written sources in the styles people use, each with its effect and
// report as golden files, and the program's own snippets read back into the effect they show.

#include "tessary/code_editor/code_importer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "support/generated_effects.h"
#include "support/golden_file.h"
#include "support/test_seed.h"
#include "tessary/code_editor/snippet_layout.h"
#include "tessary/platform/color.h"
#include "tessary/store/effect_file.h"
#include "tessary/store/property_table.h"

namespace tessary::code_editor {
namespace {

using store::PropertyTable;

// Each source beside its effect (<source>.json) and its report (<source>.report); images are
// found beside them as <name>.png.
TEST(CodeImporter, SourcesImportAsTheirGoldenEffectsAndReports) {
  struct Case {
    std::string source;
    std::string layer;
  };
  const std::vector<Case> cases{
      {"confetti.swift", ""},       {"fireworks.swift", ""},
      {"snow.swift", ""},           {"subclass.swift", ""},
      {"sparkles.m", ""},           {"swiftui.swift", ""},
      {"two_layers.swift", "2"},    {"two_layers.swift", "smoke"},
      {"two_layers.swift", "rain"}, {"no_layer.swift", ""},
  };
  const std::filesystem::path folder = testing::goldenPath("import");
  for (const Case& row : cases) {
    SCOPED_TRACE(row.source + " " + row.layer);
    CodeImporter::Options options;
    options.layer = row.layer;
    options.findImage = [&](std::string_view name) -> std::optional<std::string> {
      const std::string file = std::string(name) + ".png";
      if (!std::filesystem::exists(folder / file)) return std::nullopt;
      return file;
    };
    const ImportResult result =
        CodeImporter::importSource(testing::readFile(folder / row.source), options);
    const std::string name = "import/" + row.source + (row.layer.empty() ? "" : "." + row.layer);
    std::string report = result.summary() + "\n" + result.report(row.source) + result.listing();
    if (!result.effect) report += result.failure + "\n";
    testing::expectMatchesGolden(report, name + ".report");
    if (result.effect) {
      testing::expectMatchesGolden(store::EffectFile::serialize(*result.effect), name + ".json");
    }
  }
}

// The largest difference the snippet's text can make to a stored value.
double shownPrecision(const PropertyTable::Row& row) {
  return 0.5 * std::pow(10.0, -row.digits) + 1e-9;
}

void expectNear(double imported, double original, double precision, const std::string& what) {
  EXPECT_LE(std::abs(imported - original), precision)
      << what << ": imported " << imported << ", snippet made of " << original;
}

void expectColorNear(const platform::Color& imported, const platform::Color& original,
                     const std::string& what) {
  constexpr double kComponent = 0.5 / 255.0 + 1e-9;
  constexpr double kAlpha = 0.005 + 1e-9;
  expectNear(imported.red, original.red, kComponent, what + " red");
  expectNear(imported.green, original.green, kComponent, what + " green");
  expectNear(imported.blue, original.blue, kComponent, what + " blue");
  expectNear(imported.alpha, original.alpha, kAlpha, what + " alpha");
}

void expectCellNear(const store::CellConfig& imported, const store::CellConfig& original,
                    bool isSubcell, const std::string& what) {
  EXPECT_EQ(imported.name, original.name) << what;
  EXPECT_EQ(imported.contentUrl, original.contentUrl) << what;
  EXPECT_EQ(imported.contentsUrl.has_value(), original.contentsUrl.has_value()) << what;
  for (const PropertyTable::Row& row : PropertyTable::rows()) {
    if (!row.isCellNumber() || (row.subcellOnly && !isSubcell)) continue;
    expectNear((imported.*row.cellNumber).value, (original.*row.cellNumber).value,
               shownPrecision(row), what + "." + std::string(row.name));
  }
  expectColorNear(imported.color(), original.color(), what + ".color");
}

// What `build` writes, `import` reads back: every value the snippet shows, up to its rounding,
// on both platforms, with sub-cells, every kind of texture and names meant to break a parser.
TEST(CodeImporter, SnippetsImportAsTheEffectsTheyShow) {
  testing::SeededRandom random;
  for (int round = 0; round < 40; ++round) {
    const auto seed = static_cast<std::uint32_t>(random());
    const store::LayerConfigRef original =
        testing::generateEffect(seed, {.cells = 3, .minSubcells = 0, .maxSubcells = 2});
    for (const CodePlatform platform : {CodePlatform::macOS, CodePlatform::iOS}) {
      SCOPED_TRACE("effect " + std::to_string(seed) + " on " + std::string(platform.rawValue()));
      CodeImporter::Options options;
      options.findImage = [](std::string_view name) -> std::optional<std::string> {
        if (name == "fire.big") return "fire.big.png";
        if (name == "spark \xf0\x9f\x8c\x9f") return "textures/spark \xf0\x9f\x8c\x9f.png";
        return std::nullopt;
      };
      const ImportResult result =
          CodeImporter::importSource(SnippetLayout::plainText(*original, platform), options);
      ASSERT_TRUE(result.effect) << result.failure;
      EXPECT_EQ(result.platform, platform);
      EXPECT_TRUE(result.keptEverything()) << result.report("snippet");
      const store::LayerConfig& imported = *result.effect;
      EXPECT_EQ(imported.viewWidth.value, original->viewWidth.value);
      EXPECT_EQ(imported.viewHeight.value, original->viewHeight.value);
      EXPECT_EQ(imported.emitterShape, original->emitterShape);
      EXPECT_EQ(imported.emitterMode, original->emitterMode);
      EXPECT_EQ(imported.renderMode, original->renderMode);
      for (const PropertyTable::Row& row : PropertyTable::rows()) {
        if (!row.isLayerNumber()) continue;
        expectNear((imported.*row.layerNumber).value, ((*original).*row.layerNumber).value,
                   shownPrecision(row), std::string(row.name));
      }
      expectColorNear(imported.background(), original->background(), "background");
      ASSERT_EQ(imported.cells.size(), original->cells.size());
      for (std::size_t i = 0; i < original->cells.size(); ++i) {
        const store::CellConfig& cell = *original->cells[i];
        expectCellNear(*imported.cells[i], cell, false, "cell " + std::to_string(i + 1));
        ASSERT_EQ(imported.cells[i]->subcells.size(), cell.subcells.size());
        for (std::size_t j = 0; j < cell.subcells.size(); ++j) {
          expectCellNear(*imported.cells[i]->subcells[j], *cell.subcells[j], true,
                         "subcell " + std::to_string(i + 1) + "_" + std::to_string(j + 1));
        }
      }
    }
  }
}

}  // namespace
}  // namespace tessary::code_editor
