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

#include "support/generated_effects.h"
#include "support/swift_string_literal.h"
#include "tessary/code_editor/code_analyzer.h"
#include "tessary/code_editor/code_builder.h"
#include "tessary/code_editor/section_builder.h"
#include "tessary/platform/dispatch_queue.h"
#include "tessary/platform/text_storage.h"
#include "tessary/platform/well_formed_utf8.h"
#include "tessary/store/data_store.h"
#include "tessary/store/effect_file.h"

namespace tessary::code_editor {
namespace {

using platform::DispatchQueue;
using platform::URL;
using store::CellConfig;
using store::CellProperty;
using store::DataStore;
using store::LayerConfigRef;
using store::StoreChange;
using testing::parseSwiftStringLiteral;

std::string longName() {
  std::string name;
  const std::vector<std::string> pieces{"a", "\"", "\\",      "\n", "\xf0\x9f\x94\xa5",
                                        "=", ".",  "\xd7\xa9"};
  for (std::size_t i = 0; name.size() < 10'000; ++i) name += pieces[i * 7 % pieces.size()];
  return name;
}

std::vector<std::string> names() {
  std::vector<std::string> all = testing::hostileNames();
  std::string controls;
  for (char c = 1; c < 0x20; ++c) controls += c;
  controls += '\x7f';
  controls += std::string("nul\0inside", 10);
  all.insert(
      all.end(),
      {
          longName(),
          std::string(10'000, 'x'),
          "\xd9\x85\xd8\xb1\xd8\xad\xd8\xa8\xd8\xa7 \xe2\x80\xae"
          "evil\xe2\x80\xac",  // RTL, override
          "\xf0\x9f\x91\xa9\xe2\x80\x8d\xf0\x9f\x9a\x80 \xf0\x9f\x87\xab\xf0\x9f\x87\xb7",  // ZWJ,
                                                                                            // flag
          controls,
          "c1 \xc2\x80 \xc2\x85 \xc2\x9f end",
          "\xe2\x80\xa9paragraph",
          "\\u{41} \\(injected) \\n",
          "\"); exit(0); print(\"",
          "\"\"\"",
          "#\"raw\"#",
          "trailing backslash \\",
          // Not UTF-8: a lone byte, a cut sequence, an overlong form, a surrogate, beyond
          // U+10FFFF, a stray continuation byte.
          "bad \xff byte",
          "cut \xe2\x80",
          "cut at end \xc2",
          "overlong \xc0\xaf",
          "surrogate \xed\xa0\x80",
          "too high \xf4\x90\x80\x80",
          "stray \x80 continuation",
      });
  return all;
}

std::string printable(std::string_view text) {
  std::string out;
  for (const char c : text.substr(0, 60)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte >= 0x7f) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return text.size() > 60 ? out + "..." : out;
}

// The literal that follows `prefix` at the start of a line of `text`, with what follows it on the
// line.
struct QuotedLine {
  testing::SwiftStringLiteral literal;
  std::string rest;
};

std::optional<QuotedLine> quotedAfter(std::string_view text, std::string_view prefix) {
  const std::size_t lineBreak = text.find("\n" + std::string(prefix));
  if (lineBreak == std::string_view::npos) return std::nullopt;
  const std::size_t at = lineBreak + 1;
  QuotedLine quoted;
  quoted.literal = parseSwiftStringLiteral(text, at + prefix.size());
  if (quoted.literal.error.empty()) {
    const std::size_t lineEnd = text.find('\n', quoted.literal.end);
    quoted.rest = std::string(text.substr(quoted.literal.end, lineEnd - quoted.literal.end));
  }
  return quoted;
}

std::size_t lineCount(std::string_view text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// The demo effect with `name` on its first cell and that cell's first sub-cell, and a texture
// file of that name.
LayerConfigRef effectNamed(const std::string& name, const std::string& textureUrl) {
  LayerConfigRef layer = store::EffectFile::demo();
  CellConfig& cell = *layer->cells.at(0);
  cell.name = name;
  cell.contentUrl = URL(textureUrl);
  cell.contentsUrl = cell.contentUrl;
  cell.subcells.at(0)->name = name;
  return layer;
}

TEST(HostileNamesTest, NamesAndImageNamesAreSoundSwiftLiteralsOfTheName) {
  const CodeBuilder builder(12.0, DispatchQueue("tessary.test.cache"));
  for (const CodePlatform platform : {CodePlatform::macOS, CodePlatform::iOS}) {
    const std::size_t plainLines = lineCount(
        builder.buildMainThread(std::nullopt, *effectNamed("plain", "plain.png"), platform)
            .text->string());
    for (const std::string& name : names()) {
      for (const std::string& texture : {name + ".png", "file:///textures/" + name + ".png"}) {
        SCOPED_TRACE(std::string(platform.rawValue()) + " name \"" + printable(name) +
                     "\", texture \"" + printable(texture) + "\"");
        const LayerConfigRef layer = effectNamed(name, texture);
        const std::string text =
            builder.buildMainThread(std::nullopt, *layer, platform).text->string();
        EXPECT_TRUE(platform::isWellFormedUtf8(text));
        EXPECT_EQ(lineCount(text), plainLines) << "a name split or joined lines";

        const std::string shownName = platform::wellFormedUtf8(name);
        for (const std::string_view prefix : {"cell1.name = ", "subcell1_1.name = "}) {
          const auto line = quotedAfter(text, prefix);
          ASSERT_TRUE(line) << prefix;
          EXPECT_EQ(line->literal.error, "") << prefix;
          EXPECT_EQ(line->literal.value, shownName) << prefix;
          EXPECT_EQ(line->rest, "") << prefix;
        }

        const std::string imageName =
            platform::wellFormedUtf8(SectionBuilder::imageName(*layer->cells[0]));
        const bool iOS = platform == CodePlatform::iOS;
        const auto image = quotedAfter(
            text, iOS ? "let image1 = UIImage(named: " : "let image1: CGImage? = NSImage(named:");
        ASSERT_TRUE(image);
        EXPECT_EQ(image->literal.error, "");
        EXPECT_EQ(image->literal.value, imageName);
        EXPECT_EQ(image->rest, iOS ? ")?.cgImage" : ").flatMap {");
      }
    }
  }
}

TEST(HostileNamesTest, EditsAroundHostileNamesAreAnalysedAndWriteOnlyTheirLine) {
  const CodeBuilder builder(12.0, DispatchQueue("tessary.test.cache"));
  const DispatchQueue historyQueue("tessary.test.history");
  for (const CodePlatform platform : {CodePlatform::macOS, CodePlatform::iOS}) {
    for (const std::string& name : names()) {
      SCOPED_TRACE(std::string(platform.rawValue()) + " name \"" + printable(name) + "\"");
      const LayerConfigRef layer = effectNamed(name, name + ".png");
      BuildResult built = builder.buildMainThread(std::nullopt, *layer, platform);
      const std::string text = built.text->string();
      CodeAnalyzer analyzer(historyQueue);
      analyzer.setHistory(std::move(built.newHistroy));
      DataStore store(layer->deepCopy());
      std::vector<StoreChange> changes;
      store.addObserver([&](const StoreChange& change) { changes.push_back(change); });

      EXPECT_EQ(analyzer.analyzeString(text, platform::TextStorage(), store, platform),
                CodeAnalysisResult::invalid);
      EXPECT_TRUE(changes.empty());

      std::string edited = text;
      const std::string line = "\nsubcell1_1.lifetime = ";
      const std::size_t at = edited.find(line);
      ASSERT_NE(at, std::string::npos);
      const std::size_t numberStart = at + line.size();
      edited.replace(numberStart, edited.find('\n', numberStart) - numberStart, "4.5");
      EXPECT_EQ(analyzer.analyzeString(edited, platform::TextStorage(), store, platform),
                CodeAnalysisResult::valid);
      ASSERT_EQ(changes.size(), 1u);
      EXPECT_EQ(changes[0].keypath, store::AnyKeyPath(CellProperty::lifetime));
      EXPECT_EQ(changes[0].cellIdx, 0);
      EXPECT_EQ(changes[0].subcellIdx, 0);
      EXPECT_EQ(std::get<double>(changes[0].newValue), 4.5);
    }
  }
}

TEST(HostileNamesTest, EscapingGivesWellFormedTextForBytesThatAreNotUtf8) {
  struct Row {
    std::string name;
    std::string escaped;
  };
  const std::vector<Row> rows{
      {"bad \xff byte", "bad \xef\xbf\xbd byte"},
      {"cut \xe2\x80", "cut \xef\xbf\xbd"},
      {"quote \" and \xc0\xaf\n", "quote \\\" and \xef\xbf\xbd\xef\xbf\xbd\\n"},
      {"\xc2", "\xef\xbf\xbd"},
      {"\xc2\x85 next line", "\\u{85} next line"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(SectionBuilder::escapedForStringLiteral(row.name), row.escaped)
        << printable(row.name);
  }
}

}  // namespace
}  // namespace tessary::code_editor
