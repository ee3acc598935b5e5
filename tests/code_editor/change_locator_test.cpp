#include "tessary/code_editor/change_locator.h"

#include <gtest/gtest.h>

#include "analysis_test_support.h"
#include "code_editor/current_line_finder.h"
#include "support/generated_effects.h"
#include "support/golden_file.h"
#include "support/test_seed.h"

namespace tessary::code_editor {
namespace {

// The current lines of the cases, as the locator, the finder and the reference search find them.
TEST(ChangeLocatorTest, CurrentLine) {
  tessary::testing::expectCasesMatchGolden(
      "code_editor/current_lines.cases", 2, [](const std::vector<std::string>& fields) {
        const std::string &record = fields[0], &newString = fields[1];
        const auto located = ChangeLocator::currentLine(record, newString);
        const auto reference = testing::referenceCurrentLine(record, newString);
        EXPECT_EQ(reference ? std::optional(reference->text) : std::nullopt, located);
        const CurrentLineFinder finder({CodeHistory(record, {}, store::CellProperty::spin, 0, {})});
        const auto found = finder.currentLines(newString)[0];
        EXPECT_EQ(
            found ? std::optional(newString.substr(found->begin, found->size())) : std::nullopt,
            ChangeLocator::fixedBeginning(record) ? located : std::nullopt);
        return located ? "line " + *located : "none";
      });
}

// Lines of generated snippets, edited at random, are found alike by the locator, the finder (all
// records in one pass) and a regular-expression search.
TEST(ChangeLocatorTest, FinderAndLocatorAgreeWithTheRegularExpressionSearch) {
  // clang-format off
  const std::vector<std::string> insertions{"x cell1.birthRate = 5", "\tcell1.birthRate = 6",
      "cell1.birthRate = 1.2.", "  particlesLayer.emitterSize = CGSize(width: 1.0, height: 2.0)",
      "cell1.name = \"a=b\" = 3", "\xE2\x80\xA8", "\r\n", "subcell1_1.velocity = -4", "=", "cell1.color ="};
  // clang-format on
  tessary::testing::SeededRandom random;
  for (int round = 0; round < 40; ++round) {
    const auto layer = tessary::testing::generateEffect(random());
    const CodePlatform platform = round % 2 ? CodePlatform::iOS : CodePlatform::macOS;
    const auto built = testing::buildSnippet(*layer, platform);
    std::string text = built.text;
    for (int edit = 0; edit < 6; ++edit) {
      std::size_t at = random() % (text.size() + 1);
      while (at > 0 && text[at - 1] != '\n') --at;
      if (random() % 3 == 0) {
        text.erase(at, text.find('\n', at) - at);  // empties a whole line
      } else {
        text.insert(at, insertions[random() % insertions.size()] + "\n");
      }
    }
    // Renewed twice from the finders of the effect some edits earlier, as an analyzer's is.
    const auto before = testing::earlierEffect(*layer, random());
    const auto recordsBefore = testing::buildSnippet(*before, platform).records;
    const auto recordsFirst =
        testing::buildSnippet(*testing::earlierEffect(*before, random()), platform).records;
    const CurrentLineFinder finder = CurrentLineFinder::renewed(
        built.records, recordsBefore,
        CurrentLineFinder::renewed(recordsBefore, recordsFirst, CurrentLineFinder(recordsFirst)));
    const auto found = finder.currentLines(text);
    for (std::size_t i = 0; i < built.records.size(); ++i) {
      const std::string record(built.records[i].string());
      const auto reference = testing::referenceCurrentLine(record, text);
      ASSERT_EQ(ChangeLocator::currentLine(record, text),
                reference ? std::optional(reference->text) : std::nullopt)
          << record;
      ASSERT_EQ(found[i], reference ? reference->range : std::nullopt) << record;
      if (found[i]) {
        EXPECT_EQ(finder.isAsBuilt(i, reference->text), reference->text == record) << record;
      }
    }
  }
}

TEST(ChangeLocatorTest, LinePatterns) {
  tessary::testing::expectCasesMatchGolden(
      "code_editor/line_pattern_matches.cases", 3, [](const std::vector<std::string>& fields) {
        return ChangeLocator::matchesLinePatterns(
                   fields[2], *CodePlatform::fromRawValue(fields[0]),
                   store::ConfigType::fromRawValue(fields[1]).value())
                   ? "matches"
                   : "no match";
      });
}

}  // namespace
}  // namespace tessary::code_editor
