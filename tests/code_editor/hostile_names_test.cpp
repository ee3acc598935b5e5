// Names and texture files chosen to break the generated source: quotes, backslashes, line breaks,
// other lines' text, pattern characters, interpolations, very long names, emoji, right-to-left
// text and bytes that are not UTF-8. Every snippet must quote them as sound Swift string literals
// that decode to the name, keep its line structure, and still be analysed.

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

using store::CellProperty;
using store::LayerConfigRef;

std::vector<std::string> names() {
  std::vector<std::string> all = tessary::testing::hostileNames();
  std::string controls;
  for (char c = 1; c < 0x20; ++c) controls += c;
  std::string longName;
  for (std::size_t i = 0; longName.size() < 10'000; ++i) {
    longName += std::vector<std::string>{"a", "\"", "\\",      "\n", "\xf0\x9f\x94\xa5",
                                         "=", ".",  "\xd7\xa9"}[i * 7 % 8];
  }
  all.insert(
      all.end(),
      {longName, std::string(10'000, 'x'), controls + "\x7f" + std::string("nul\0in", 6),
       "\xd9\x85\xd8\xb1 \xe2\x80\xae"
       "evil\xe2\x80\xac",  // right-to-left override
       "\xf0\x9f\x91\xa9\xe2\x80\x8d\xf0\x9f\x9a\x80 \xf0\x9f\x87\xab\xf0\x9f\x87\xb7",
       "c1 \xc2\x80 \xc2\x85 \xc2\x9f end", "\xe2\x80\xa9paragraph", "\\u{41} \\(injected) \\n",
       "\"); exit(0); print(\"", "\"\"\"", "#\"raw\"#", "trailing backslash \\",
       // Not UTF-8: a lone byte, cut sequences, an overlong form, a surrogate, beyond
       // U+10FFFF, a stray continuation byte.
       "bad \xff byte", "cut \xe2\x80", "cut at end \xc2", "overlong \xc0\xaf",
       "surrogate \xed\xa0\x80", "too high \xf4\x90\x80\x80", "stray \x80 continuation"});
  return all;
}

// The literal that follows `prefix` at the start of a line of `text`, and the rest of its line.
std::optional<std::pair<tessary::testing::SwiftStringLiteral, std::string>> quotedAfter(
    std::string_view text, std::string_view prefix) {
  const std::size_t lineBreak = text.find("\n" + std::string(prefix));
  if (lineBreak == std::string_view::npos) return std::nullopt;
  const auto literal =
      tessary::testing::parseSwiftStringLiteral(text, lineBreak + 1 + prefix.size());
  const std::size_t lineEnd = text.find('\n', literal.end);
  return std::pair{literal, std::string(text.substr(literal.end, lineEnd - literal.end))};
}

// The demo effect with `name` on its first cell and that cell's first sub-cell, drawn with
// `texture`.
LayerConfigRef effectNamed(const std::string& name, const std::string& texture) {
  LayerConfigRef layer = store::EffectFile::demo();
  store::CellConfig& cell = *layer->cells.at(0);
  cell.name = name;
  cell.contentUrl = platform::URL(texture);
  cell.contentsUrl = cell.contentUrl;
  cell.subcells.at(0)->name = name;
  return layer;
}

TEST(HostileNamesTest, NamesAreSoundSwiftLiteralsAndEditsAroundThemWriteOnlyTheirLine) {
  const auto lineCount = [](std::string_view text) { return std::ranges::count(text, '\n'); };
  for (const CodePlatform platform : {CodePlatform::macOS, CodePlatform::iOS}) {
    const bool iOS = platform == CodePlatform::iOS;
    const auto plainLines =
        lineCount(testing::buildSnippet(*effectNamed("a", "a.png"), platform).text);
    for (const std::string& name : names()) {
      for (const std::string& texture : {name + ".png", "file:///textures/" + name + ".png"}) {
        SCOPED_TRACE(std::string(platform.rawValue()) + " " +
                     ::testing::PrintToString(texture.substr(0, 60)));
        const LayerConfigRef layer = effectNamed(name, texture);
        const auto built = testing::buildSnippet(*layer, platform);
        const std::string& text = built.text;
        EXPECT_TRUE(platform::isWellFormedUtf8(text));
        EXPECT_EQ(lineCount(text), plainLines) << "a name split or joined lines";
        for (const std::string_view prefix : {"cell1.name = ", "subcell1_1.name = "}) {
          const auto line = quotedAfter(text, prefix);
          ASSERT_TRUE(line) << prefix;
          EXPECT_EQ(line->first.error, "") << prefix;
          EXPECT_EQ(line->first.value, platform::wellFormedUtf8(name)) << prefix;
          EXPECT_EQ(line->second, "") << prefix;
        }
        const auto image = quotedAfter(
            text, iOS ? "let image1 = UIImage(named: " : "let image1: CGImage? = NSImage(named:");
        ASSERT_TRUE(image);
        EXPECT_EQ(image->first.error, "");
        EXPECT_EQ(image->first.value,
                  platform::wellFormedUtf8(SectionBuilder::imageName(*layer->cells[0])));
        EXPECT_EQ(image->second, iOS ? ")?.cgImage" : ").flatMap {");

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
        ASSERT_EQ(recorder.changes.size(), 1u);
        const store::StoreChange& change = recorder.changes[0];
        EXPECT_EQ(std::tuple(change.keypath, change.cellIdx, change.subcellIdx, change.newValue),
                  std::tuple(store::AnyKeyPath(CellProperty::lifetime), std::optional(0),
                             std::optional(0), store::StoreValue(4.5)));
      }
    }
  }
}

TEST(HostileNamesTest, EscapingGivesWellFormedTextForBytesThatAreNotUtf8) {
  const std::vector<std::pair<std::string, std::string>> rows{
      {"bad \xff byte", "bad \xef\xbf\xbd byte"},
      {"cut \xe2\x80", "cut \xef\xbf\xbd"},
      {"quote \" and \xc0\xaf\n", "quote \\\" and \xef\xbf\xbd\xef\xbf\xbd\\n"},
      {"\xc2", "\xef\xbf\xbd"},
      {"\xc2\x85 next line", "\\u{85} next line"},
  };
  for (const auto& [name, escaped] : rows) {
    EXPECT_EQ(SectionBuilder::escapedForStringLiteral(name), escaped)
        << ::testing::PrintToString(name);
  }
}

}  // namespace
}  // namespace tessary::code_editor
