#include "tessary/code_editor/section_builder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "support/golden_file.h"
#include "tessary/code_editor/snippet_layout.h"
#include "tessary/store/effect_file.h"

namespace tessary::code_editor {
namespace {

using store::AnyKeyPath;
using store::CellConfig;
using store::CellProperty;
using store::LayerConfig;
using store::LayerProperty;

constexpr CodePlatform kMac = CodePlatform::macOS;
constexpr CodePlatform kIOS = CodePlatform::iOS;

CellConfig sampleCell(int index, std::optional<int> subindex) {
  CellConfig cell;
  cell.index = index;
  cell.subindex = subindex;
  return cell;
}

// The whole snippet of an effect that has every kind of line, header and number form, on both
// platforms, pinned: the intro, the layer lines, mirrored and rounded numbers, the three kinds of
// texture, sub-cell-only lines, escaped names and the closing lists.
TEST(SnippetLayoutTest, PlainTextMatchesTheGoldenFiles) {
  const auto folder = std::filesystem::path(TESSARY_SOURCE_DIR) / "tests" / "golden" / "snippets";
  const store::LayerConfigRef layer = store::EffectFile::load(folder / "sample.json");
  for (const CodePlatform platform : {kMac, kIOS}) {
    tessary::testing::expectMatchesGolden(
        SnippetLayout::plainText(*layer, platform),
        "snippets/sample." + std::string(platform.rawValue()) + ".swift");
  }
}

TEST(SectionBuilderTest, KeyPathsOfNoLineGiveNoText) {
  const CellConfig cell = sampleCell(0, std::nullopt);
  const LayerConfig layer;
  const SectionBuilder sections;
  for (const AnyKeyPath key : {AnyKeyPath(CellProperty::colorRed), AnyKeyPath(CellProperty::index),
                               AnyKeyPath(LayerProperty::viewWidth),
                               AnyKeyPath(CellProperty::lifetime).appendingValue()}) {
    EXPECT_EQ(sections.cellLine(key, cell, kMac), "") << key.description();
  }
  EXPECT_EQ(sections.layerLine(CellProperty::lifetime, layer, kMac), "");
}

TEST(SectionBuilderTest, NamesAndLinks) {
  struct Case {
    int index;
    std::optional<int> subindex;
    const char* variable;
    const char* number;
    const char* importLink;
  };
  const Case cases[] = {
      {0, std::nullopt, "cell1", "1", "0: Import"},
      {2, 0, "subcell3_1", "3_1", "2_0: Import"},
      {1, 1, "subcell2_2", "2_2", "1_1: Import"},
      {11, std::nullopt, "cell12", "12", "11: Import"},
  };
  for (const auto& c : cases) {
    const CellConfig cell = sampleCell(c.index, c.subindex);
    EXPECT_EQ(SectionBuilder::cellVariableName(cell), c.variable);
    EXPECT_EQ(SectionBuilder::cellNumber(cell), c.number);
    EXPECT_EQ(SectionBuilder::textureLinkValue(cell, "Import"), c.importLink);
  }
}

TEST(SectionBuilderTest, NamesAreEscapedAsStringLiteralContent) {
  struct Case {
    std::string name;
    const char* expected;
  };
  const Case cases[] = {
      {"plain", "plain"},
      {"say \"hi\"", "say \\\"hi\\\""},
      {"back\\slash", "back\\\\slash"},
      {"two\nlines", "two\\nlines"},
      {"cr\rtab\t", "cr\\rtab\\t"},
      {std::string("nul\0end", 7), "nul\\0end"},
      {"esc\x1b", "esc\\u{1B}"},
      {"del\x7f", "del\\u{7F}"},
      {"c1\xc2\x85", "c1\\u{85}"},
      {"ls\xe2\x80\xa8ps\xe2\x80\xa9", "ls\\u{2028}ps\\u{2029}"},
      {"emoji \xf0\x9f\x94\xa5 \xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d",
       "emoji \xf0\x9f\x94\xa5 \xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d"},
      {"x\")\nlet y = 1 //", "x\\\")\\nlet y = 1 //"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SectionBuilder::escapedForStringLiteral(c.name), c.expected) << c.name;
  }
  CellConfig cell = sampleCell(0, std::nullopt);
  cell.name = "a\"b";
  EXPECT_EQ(SectionBuilder().cellLine(CellProperty::name, cell, kMac), "cell1.name = \"a\\\"b\"");
}

}  // namespace
}  // namespace tessary::code_editor
