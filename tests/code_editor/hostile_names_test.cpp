// Names and texture files chosen to break the generated source: quotes, backslashes, line breaks,
// other lines' text, pattern characters, interpolations, very long names, emoji, right-to-left
// text and bytes that are not UTF-8. Every snippet must quote them as sound Swift string literals
// that decode to the name (made well-formed), keep its line structure, and still be analysed.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis_test_support.h"
#include "support/generated_effects.h"
#include "support/swift_string_literal.h"
#include "tessary/code_editor/code_analyzer.h"
#include "tessary/code_editor/section_builder.h"
#include "tessary/platform/text_storage.h"
#include "tessary/platform/well_formed_utf8.h"
#include "tessary/store/effect_file.h"

namespace tessary::code_editor {
namespace {

std::vector<std::string> names() {
  std::vector<std::string> all = tessary::testing::hostileNames();
  std::string controls;
  for (char c = 1; c < 0x20; ++c) controls += c;
  std::string longName;
  for (std::size_t i = 0; longName.size() < 10'000; ++i) {
    longName += std::vector<std::string>{"a", "\"", "\\",      "\n", "\xf0\x9f\x94\xa5",
                                         "=", ".",  "\xd7\xa9"}[i * 7 % 8];
  }
  // clang-format off
  all.insert(all.end(), {
      longName, std::string(10'000, 'x'), controls + "\x7f" + std::string("nul\0in", 6),
      "\xd9\x85\xd8\xb1 \xe2\x80\xae" "evil\xe2\x80\xac",  // right-to-left override
      "\xf0\x9f\x91\xa9\xe2\x80\x8d\xf0\x9f\x9a\x80 \xf0\x9f\x87\xab\xf0\x9f\x87\xb7",
      "c1 \xc2\x80 \xc2\x85 \xc2\x9f end", "\xe2\x80\xa9paragraph", "\\u{41} \\(injected) \\n",
      "\"); exit(0); print(\"", "\"\"\"", "#\"raw\"#", "trailing backslash \\",
      // Not UTF-8: a lone byte, cut sequences, an overlong form, a surrogate, beyond U+10FFFF, a
      // stray continuation byte.
      "bad \xff byte", "cut \xe2\x80", "cut at end \xc2", "overlong \xc0\xaf", "surrogate \xed\xa0\x80",
      "too high \xf4\x90\x80\x80", "stray \x80 continuation"});
  // clang-format on
  return all;
}

// The literal that follows `prefix` at the start of a line of `text`, and the rest of its line.
std::pair<tessary::testing::SwiftStringLiteral, std::string> quotedAfter(std::string_view text,
                                                                         std::string_view prefix) {
  const std::size_t lineBreak = text.find("\n" + std::string(prefix));
  if (lineBreak == std::string_view::npos) return {{"", 0, "no line"}, ""};
  const auto literal =
      tessary::testing::parseSwiftStringLiteral(text, lineBreak + 1 + prefix.size());
  const std::size_t lineEnd = text.find('\n', literal.end);
  return {literal, std::string(text.substr(literal.end, lineEnd - literal.end))};
}

TEST(HostileNamesTest, NamesAreSoundSwiftLiteralsAndEditsAroundThemWriteOnlyTheirLine) {
  const auto lineCount = [](std::string_view text) { return std::ranges::count(text, '\n'); };
  for (const CodePlatform platform : {CodePlatform::macOS, CodePlatform::iOS}) {
    const bool iOS = platform == CodePlatform::iOS;
    const auto demoLines =
        lineCount(testing::buildSnippet(*store::EffectFile::demo(), platform).text);
    for (const std::string& name : names()) {
      for (const std::string& texture : {name + ".png", "file:///textures/" + name + ".png"}) {
        SCOPED_TRACE(std::string(platform.rawValue()) + " " +
                     ::testing::PrintToString(texture.substr(0, 60)));
        // The demo effect with the name on its first cell and that cell's first sub-cell.
        const store::LayerConfigRef layer = store::EffectFile::demo();
        store::CellConfig& cell = *layer->cells.at(0);
        cell.name = cell.subcells.at(0)->name = name;
        cell.contentsUrl = cell.contentUrl = platform::URL(texture);
        const auto built = testing::buildSnippet(*layer, platform);
        const std::string& text = built.text;
        EXPECT_TRUE(platform::isWellFormedUtf8(text));
        EXPECT_EQ(lineCount(text), demoLines) << "a name split or joined lines";
        const std::string image = platform::wellFormedUtf8(SectionBuilder::imageName(cell));
        for (const auto& [prefix, value, rest] :
             {std::tuple<std::string, std::string, std::string>{
                  "cell1.name = ", platform::wellFormedUtf8(name), ""},
              {"subcell1_1.name = ", platform::wellFormedUtf8(name), ""},
              {iOS ? "let image1 = UIImage(named: " : "let image1: CGImage? = NSImage(named:",
               image, iOS ? ")?.cgImage" : ").flatMap {"}}) {
          const auto [literal, after] = quotedAfter(text, prefix);
          EXPECT_EQ(std::tie(literal.error, literal.value, after), std::tie("", value, rest))
              << prefix;
        }

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
  }
}

}  // namespace
}  // namespace tessary::code_editor
