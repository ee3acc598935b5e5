#include "tessary/code_editor/section_builder.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

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

// A sub-cell's link value keeps its two indices apart, so cell 1.1 is not taken for cell 11.
TEST(SectionBuilderTest, TextureLinksAndKeyPathsOfNoLine) {
  for (const auto& [index, subindex, link] :
       {std::tuple<int, std::optional<int>, const char*>{11, std::nullopt, "11: Import"},
        {1, 1, "1_1: Import"},
        {2, 0, "2_0: Import"}}) {
    CellConfig cell;
    cell.index = index;
    cell.subindex = subindex;
    EXPECT_EQ(SectionBuilder::textureLinkValue(cell, "Import"), link);
  }
  for (const AnyKeyPath key : {AnyKeyPath(CellProperty::colorRed), AnyKeyPath(CellProperty::index),
                               AnyKeyPath(store::LayerProperty::viewWidth),
                               AnyKeyPath(CellProperty::lifetime).appendingValue()}) {
    EXPECT_EQ(SectionBuilder().cellLine(key, CellConfig(), CodePlatform::macOS), "")
        << key.description();
  }
  EXPECT_EQ(
      SectionBuilder().layerLine(CellProperty::lifetime, store::LayerConfig(), CodePlatform::macOS),
      "");
}

TEST(SectionBuilderTest, NamesAreEscapedAsStringLiteralContent) {
  const std::pair<std::string, const char*> rows[] = {
      {"say \"hi\"", "say \\\"hi\\\""},
      {"back\\slash", "back\\\\slash"},
      {"two\nlines", "two\\nlines"},
      {"cr\rtab\t", "cr\\rtab\\t"},
      {std::string("nul\0end", 7), "nul\\0end"},
      {"esc\x1b", "esc\\u{1B}"},
      {"del\x7f", "del\\u{7F}"},
      {"c1\xc2\x85", "c1\\u{85}"},
      {"ls\xe2\x80\xa8ps\xe2\x80\xa9", "ls\\u{2028}ps\\u{2029}"},
      {"\xf0\x9f\x94\xa5 \xd7\xa9\xd7\x9c", "\xf0\x9f\x94\xa5 \xd7\xa9\xd7\x9c"},
      {"x\")\nlet y = 1 //", "x\\\")\\nlet y = 1 //"},
  };
  for (const auto& [name, escaped] : rows) {
    EXPECT_EQ(SectionBuilder::escapedForStringLiteral(name), escaped) << name;
  }
}

}  // namespace
}  // namespace tessary::code_editor
