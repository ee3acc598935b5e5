// Names and texture files chosen to break the generated source: quotes, backslashes, line breaks,
// other lines' text, pattern characters, interpolations, very long names, emoji, right-to-left
// text and bytes that are not UTF-8. Every snippet must quote them as sound Swift string literals
// that decode to the name (made well-formed), keep its line structure, and still be analysed.

#include <gtest/gtest.h>

#include <algorithm>

#include "analysis_test_support.h"
#include "support/generated_effects.h"
#include "support/golden_file.h"
#include "tessary/code_editor/section_builder.h"
#include "tessary/platform/well_formed_utf8.h"
#include "tessary/store/effect_file.h"

namespace tessary::code_editor {
namespace {

// What the Swift string literal after `prefix` at the start of a line of `text` stands for, and
// the rest of its line; "unsound" unless it is one literal of escapes and characters that stand
// for themselves, with no quote, backslash, control character or line separator standing raw.
std::pair<std::string, std::string> literalAfter(std::string_view text, std::string_view prefix) {
  static const platform::RegularExpression kSound(
      R"(^"(?:[^"\\\p{Cc}\x{2028}\x{2029}]|\\[0\\tnr"']|\\u\{[0-9A-F]{1,8}\})*")");
  const std::size_t start = text.find("\n" + std::string(prefix)) + 1 + prefix.size();
  const std::string line(text.substr(start, text.find('\n', start) - start));
  const auto literal = kSound.firstMatch(line);
  if (!literal) return {"unsound", line};
  std::string value;
  for (std::size_t i = 1; i + 1 < literal->end; ++i) {
    const std::size_t simple = std::string_view("0\\tnr\"'").find(line[i + 1]);
    if (line[i] != '\\') {
      value += line[i];
    } else if (line[++i] != 'u') {
      value += std::string_view("\0\\\t\n\r\"'", 7)[simple];
    } else {
      const std::size_t close = line.find('}', i);
      const auto scalar = std::stoul(line.substr(i + 2, close - i - 2), nullptr, 16);
      const int more = scalar < 0x80 ? 0 : scalar < 0x800 ? 1 : scalar < 0x10000 ? 2 : 3;
      value += static_cast<char>((more > 0 ? (0xF0 << (3 - more)) & 0xF0 : 0) | scalar >> 6 * more);
      for (int shift = 6 * (more - 1); shift >= 0; shift -= 6) {
        value += static_cast<char>(0x80 | (scalar >> shift & 0x3F));
      }
      i = close;
    }
  }
  return {value, line.substr(literal->end)};
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
      EXPECT_EQ(literalAfter(text, "cell1.name = "), std::pair(wellFormed, std::string()));
      EXPECT_EQ(literalAfter(text, "subcell1_1.name = "), std::pair(wellFormed, std::string()));
      EXPECT_EQ(literalAfter(text, iOS ? "let image1 = UIImage(named: "
                                       : "let image1: CGImage? = NSImage(named:"),
                std::pair(platform::wellFormedUtf8(SectionBuilder::imageName(cell)),
                          std::string(iOS ? ")?.cgImage" : ").flatMap {")));
      const std::size_t nameLine = text.find("\ncell1.name = ") + 14;
      written = text.substr(nameLine, text.find('\n', nameLine) - nameLine);

      store::DataStore store(layer->deepCopy());
      testing::ChangeRecorder recorder(store);
      EXPECT_EQ(testing::analyze(built, text, store, platform), CodeAnalysisResult::invalid);
      std::string edited = text;
      const std::size_t number = edited.find("\nsubcell1_1.lifetime = ") + 23;
      edited.replace(number, edited.find('\n', number) - number, "4.5");
      EXPECT_EQ(testing::analyze(built, edited, store, platform), CodeAnalysisResult::valid);
      EXPECT_EQ(recorder.described(), std::vector<std::string>{"lifetime[0,0]=4.5"});
    }
  }
  return written;
}

// The cases hold the names that are not in the generated effects' list, each with its literal.
TEST(HostileNamesTest, NamesAreSoundSwiftLiteralsAndEditsAroundThemWriteOnlyTheirLine) {
  tessary::testing::expectCasesMatchGolden(
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
