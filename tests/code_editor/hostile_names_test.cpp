// Names and texture files chosen to break the generated source: quotes, backslashes, line breaks,
// other lines' text, pattern characters, interpolations, very long names, emoji, right-to-left
// text and bytes that are not UTF-8. Every snippet must quote them as sound Swift string literals
// that decode to the name (made well-formed), keep its line structure, and still be analysed.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "analysis_test_support.h"
#include "platform/golden_cases.h"
#include "support/generated_effects.h"
#include "support/swift_string_literal.h"
#include "tessary/code_editor/code_analyzer.h"
#include "tessary/code_editor/section_builder.h"
#include "tessary/platform/text_storage.h"
#include "tessary/platform/well_formed_utf8.h"
#include "tessary/store/effect_file.h"

namespace tessary::code_editor {
namespace {

// The literal that follows `prefix` at the start of a line of `text`, and the rest of its line.
std::tuple<std::string, std::string, std::string> quotedAfter(std::string_view text,
                                                              std::string_view prefix) {
  const std::size_t lineBreak = text.find("\n" + std::string(prefix));
  if (lineBreak == std::string_view::npos) return {"no line", "", ""};
  const auto literal =
      tessary::testing::parseSwiftStringLiteral(text, lineBreak + 1 + prefix.size());
  const std::size_t lineEnd = text.find('\n', literal.end);
  return {literal.error, literal.value,
          std::string(text.substr(literal.end, lineEnd - literal.end))};
}

// Checks the demo effect with `name` on its first cell and that cell's first sub-cell, drawn from
// a texture file of that name, on both platforms; returns the first cell's name as written.
std::string checkName(const std::string& name) {
  const auto lineCount = [](std::string_view text) { return std::ranges::count(text, '\n'); };
  std::string written;
  for (const CodePlatform platform : {CodePlatform::macOS, CodePlatform::iOS}) {
    const bool iOS = platform == CodePlatform::iOS;
    const auto demoLines =
        lineCount(testing::buildSnippet(*store::EffectFile::demo(), platform).text);
    for (const std::string& texture : {name + ".png", "file:///textures/" + name + ".png"}) {
      SCOPED_TRACE(std::string(platform.rawValue()) + " " +
                   ::testing::PrintToString(texture.substr(0, 60)));
      const store::LayerConfigRef layer = store::EffectFile::demo();
      store::CellConfig& cell = *layer->cells.at(0);
      cell.name = cell.subcells.at(0)->name = name;
      cell.contentsUrl = cell.contentUrl = platform::URL(texture);
      const auto built = testing::buildSnippet(*layer, platform);
      const std::string& text = built.text;
      EXPECT_TRUE(platform::isWellFormedUtf8(text));
      EXPECT_EQ(lineCount(text), demoLines) << "a name split or joined lines";
      const std::string wellFormed = platform::wellFormedUtf8(name);
      EXPECT_EQ(quotedAfter(text, "cell1.name = "), std::tuple("", wellFormed, ""));
      EXPECT_EQ(quotedAfter(text, "subcell1_1.name = "), std::tuple("", wellFormed, ""));
      EXPECT_EQ(quotedAfter(text, iOS ? "let image1 = UIImage(named: "
                                      : "let image1: CGImage? = NSImage(named:"),
                std::tuple("", platform::wellFormedUtf8(SectionBuilder::imageName(cell)),
                           iOS ? ")?.cgImage" : ").flatMap {"));
      const std::size_t nameLine = text.find("\ncell1.name = ") + 14;
      written = text.substr(nameLine, text.find('\n', nameLine) - nameLine);

      CodeAnalyzer analyzer(platform::DispatchQueue("tessary.test.history"));
      analyzer.setHistory(built.records);
      store::DataStore store(layer->deepCopy());
      testing::ChangeRecorder recorder(store);
      EXPECT_EQ(analyzer.analyzeString(text, platform::TextStorage(), store, platform),
                CodeAnalysisResult::invalid);
      std::string edited = text;
      const std::size_t number = edited.find("\nsubcell1_1.lifetime = ") + 23;
      edited.replace(number, edited.find('\n', number) - number, "4.5");
      EXPECT_EQ(analyzer.analyzeString(edited, platform::TextStorage(), store, platform),
                CodeAnalysisResult::valid);
      EXPECT_EQ(recorder.described(), std::vector<std::string>{"lifetime[0,0]=4.5"});
    }
  }
  return written;
}

// The cases hold the names that are not in the generated effects' list, each with its literal.
TEST(HostileNamesTest, NamesAreSoundSwiftLiteralsAndEditsAroundThemWriteOnlyTheirLine) {
  platform::golden_cases::expectMatchesGolden(
      "code_editor/hostile_names.cases", 1,
      [](const std::vector<std::string>& fields) { return checkName(fields[0]); });
  std::string longName;
  for (std::size_t i = 0; longName.size() < 10'000; ++i) {
    longName += std::vector<std::string>{"a", "\"", "\\",      "\n", "\xf0\x9f\x94\xa5",
                                         "=", ".",  "\xd7\xa9"}[i * 7 % 8];
  }
  for (const std::string& name : tessary::testing::hostileNames()) checkName(name);
  checkName(longName);
  checkName(std::string(10'000, 'x'));
}

}  // namespace
}  // namespace tessary::code_editor
