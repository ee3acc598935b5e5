#include "tessary/code_editor/section_builder.h"

#include <gtest/gtest.h>

#include <string>

#include "support/golden_file.h"
#include "tessary/code_editor/snippet_layout.h"
#include "tessary/store/effect_file.h"

namespace tessary::code_editor {
namespace {

using store::AnyKeyPath;
using store::CellConfig;
using store::CellProperty;

// The whole snippet of an effect that has every kind of line, header and number form, on both
// platforms: mirrored and rounded numbers, the three kinds of texture, sub-cell-only lines,
// escaped names and the closing lists.
TEST(SnippetLayoutTest, PlainTextMatchesTheGoldenFiles) {
  const auto layer = store::EffectFile::load(std::string(TESSARY_SOURCE_DIR) +
                                             "/tests/golden/snippets/sample.json");
  for (const CodePlatform platform : {CodePlatform::macOS, CodePlatform::iOS}) {
    tessary::testing::expectMatchesGolden(
        SnippetLayout::plainText(*layer, platform),
        "snippets/sample." + std::string(platform.rawValue()) + ".swift");
  }
}

// A sub-cell's link value keeps its two indices apart, so cell 1.1 is not taken for cell 11; key
// paths of no line give none; a layer without cells still closes with its list of cells.
TEST(SectionBuilderTest, TextureLinksKeyPathsOfNoLineAndTheCloseOfAnEmptyLayer) {
  CellConfig cell;
  cell.index = 11;
  EXPECT_EQ(SectionBuilder::textureLinkValue(cell, "Import"), "11: Import");
  cell.subindex = cell.index = 1;
  EXPECT_EQ(SectionBuilder::textureLinkValue(cell, "Import"), "1_1: Import");
  for (const AnyKeyPath key : {AnyKeyPath(CellProperty::colorRed), AnyKeyPath(CellProperty::index),
                               AnyKeyPath(store::LayerProperty::viewWidth),
                               AnyKeyPath(CellProperty::lifetime).appendingValue()}) {
    EXPECT_EQ(SectionBuilder().cellLine(key, cell, CodePlatform::macOS), "") << key.description();
  }
  EXPECT_EQ(SectionBuilder().layerLine(CellProperty::lifetime, {}, CodePlatform::macOS), "");
  EXPECT_EQ(SectionBuilder::outroText({}), "\nparticlesLayer.emitterCells = []\n\n");
}

// Escaping goes character by character, so one name holds every case.
TEST(SectionBuilderTest, NamesAreEscapedAsStringLiteralContent) {
  using namespace std::string_view_literals;
  EXPECT_EQ(
      SectionBuilder::escapedForStringLiteral(
          "\"hi\" back\\slash\n\r\t\0 \x1b\x7f\xc2\x85 \xe2\x80\xa8\xe2\x80\xa9 \xf0\x9f\x94\xa5 \xd7\xa9 x\")//"sv),
      "\\\"hi\\\" back\\\\slash\\n\\r\\t\\0 \\u{1B}\\u{7F}\\u{85} \\u{2028}\\u{2029} "
      "\xf0\x9f\x94\xa5 \xd7\xa9 x\\\")//");
}

}  // namespace
}  // namespace tessary::code_editor
