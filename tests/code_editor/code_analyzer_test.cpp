#include "tessary/code_editor/code_analyzer.h"

#include <gtest/gtest.h>

#include <random>

#include "analysis_test_support.h"
#include "support/generated_effects.h"
#include "support/test_seed.h"
#include "tessary/store/formatters.h"

namespace tessary::code_editor {
namespace {

using store::CellProperty;
using store::LayerProperty;
using testing::ChangeRecorder;

using testing::analyze;

// The number-like runs of a line: each run of "-0123456789." right after "= " or ": ".
std::vector<std::pair<std::size_t, std::size_t>> numberRuns(std::string_view line) {
  std::vector<std::pair<std::size_t, std::size_t>> runs;
  for (std::size_t at = 2; at <= line.size(); ++at) {
    if (line[at - 1] != ' ' || (line[at - 2] != '=' && line[at - 2] != ':')) continue;
    const std::size_t end = std::min(line.find_first_not_of("-0123456789.", at), line.size());
    if (end > at) runs.emplace_back(at, end - at);
  }
  return runs;
}

// One to three edits of the kinds people make, the first of them a new number: a number, a
// line removed or copied, a line indented or prefixed, labels cut, a character replaced.
std::string editedText(const std::string& text, std::mt19937& random) {
  // clang-format off
  static const std::vector<std::string> kNumbers{"5", "12.5", "-7.25", "0", "15.", ".5", "1.2.5",
      "-", "-5", "abc", "", "1-2", "7.", "-.", "255", " 3", "3 ", "1e5", "\xD9\xA1\xD9\xA2",
      std::string(400, '9')};
  // clang-format on
  std::vector<std::string> lines;
  for (std::size_t start = 0, end = 0; end != std::string::npos; start = end + 1) {
    end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
  }
  const auto pick = [&](std::size_t count) { return random() % count; };
  const auto lineAt = [&](std::size_t index) { return lines.begin() + std::ptrdiff_t(index); };
  for (int edit = 0, edits = 1 + static_cast<int>(pick(3)); edit < edits; ++edit) {
    std::string& line = lines[pick(lines.size())];
    const auto runs = numberRuns(line);
    const std::size_t kind = edit == 0 ? 0 : pick(8);
    if (kind <= 2 && !runs.empty()) {
      const auto [start, length] = runs[pick(runs.size())];
      line.replace(start, length, kNumbers[pick(kNumbers.size())]);
    } else if (kind == 3) {
      lines.erase(lineAt(pick(lines.size())));
    } else if (kind == 4) {
      std::string copy = line;
      if (!runs.empty()) copy.replace(runs[0].first, runs[0].second, "42");
      lines.insert(lineAt(pick(lines.size())), copy);
    } else if (kind == 5) {
      line = (pick(2) == 0 ? "x " : " \t") + line;
    } else if (kind == 6) {
      for (const char* label : {", green:", "(red:", ").cgColor", ", y:", ", height:"}) {
        if (const std::size_t found = line.find(label); found != std::string::npos) {
          line.erase(found, 3);
        }
      }
    } else if (kind == 7) {
      if (!line.empty()) line[pick(line.size())] = "aZ=.(\"_"[pick(7)];
      line += pick(2) == 0 ? "\xE2\x80\xA8" : "\r";
    }
  }
  std::string edited;
  for (const std::string& line : lines) edited += line + "\n";
  edited.pop_back();
  return edited;
}

TEST(CodeAnalyzerTest, AnswersAndWritesAgreeWithTheStraightforwardAnalysis) {
  tessary::testing::SeededRandom random;
  int answered[3] = {};
  for (int round = 0; round < 200; ++round) {
    const auto platform = round % 2 == 0 ? CodePlatform::macOS : CodePlatform::iOS;
    const auto layer = tessary::testing::generateEffect(
        random(), {.cells = 1 + static_cast<int>(random() % 4), .maxSubcells = 2});
    const auto built = testing::buildSnippet(*layer, platform);
    const std::string text = editedText(built.text, random);
    const bool isPending = random() % 2 == 0;
    store::DataStore referenceStore(layer->deepCopy()), store(layer->deepCopy());
    ChangeRecorder referenceChanges(referenceStore), changes(store);
    const CodeAnalysisResult expected =
        testing::referenceAnalysis(built.records, text, referenceStore, platform, isPending);
    const CodeAnalysisResult answer = analyze(built, text, store, platform, isPending);
    ASSERT_EQ(answer, expected) << "round " << round << "\n" << text;
    ASSERT_EQ(changes.described(), referenceChanges.described()) << "round " << round;
    ++answered[static_cast<int>(answer)];
  }
  EXPECT_GT(answered[0] * answered[1] * answered[2], 0) << "the edits reach every answer";
}

// One number of one line changed, in the form the snippet writes it, makes one change, after which
// the snippet built again is the edited text. The other numbers of its line keep their stored
// values, which the snippet shows rounded.
TEST(CodeAnalyzerTest, OneChangedNumberRoundTrips) {
  tessary::testing::SeededRandom random;
  for (int round = 0; round < 200; ++round) {
    const auto platform = round % 2 == 0 ? CodePlatform::macOS : CodePlatform::iOS;
    const auto layer =
        tessary::testing::generateEffect(random(), {.cells = 1 + static_cast<int>(random() % 3)});
    const auto built = testing::buildSnippet(*layer, platform);
    const auto isColour = [](store::AnyKeyPath key) {
      return key == LayerProperty::background || key == CellProperty::color;
    };
    std::vector<const CodeHistory*> numbered;
    for (const CodeHistory& record : built.records) {
      const store::AnyKeyPath key = record.keypath();
      if (!numberRuns(record.string()).empty() && key != CellProperty::name &&
          (key.isLimitedValueProperty() || isColour(key))) {
        numbered.push_back(&record);
      }
    }
    const CodeHistory& record = *numbered[random() % numbered.size()];
    const std::string line(record.string());
    const auto runs = numberRuns(line);
    const store::AnyKeyPath key = record.keypath();
    // A new number with as many fraction digits as the old one, which the snippet shows as typed.
    const auto [at, length] = runs[random() % runs.size()];
    const std::string oldNumber = line.substr(at, length);
    const std::size_t point = oldNumber.find('.');
    const int digits = point == std::string::npos ? 0 : static_cast<int>(length - point - 1);
    const int largest = digits == 0 ? 255 : isColour(key) ? 1 : 300;
    const double unit = std::pow(10.0, digits);
    std::string newNumber = oldNumber;
    while (newNumber == oldNumber) {
      const double value =
          static_cast<double>(random() % (largest * static_cast<int>(unit) + 1)) / unit;
      newNumber =
          digits == 0 ? std::to_string(static_cast<int>(value)) : store::roundedTo(value, digits);
    }
    std::string text = built.text;
    text.replace(text.find(line + "\n") + at, length, newNumber);
    SCOPED_TRACE("round " + std::to_string(round) + ": " + line + " to " + newNumber);

    store::DataStore store(layer);
    ChangeRecorder changes(store);
    ASSERT_EQ(analyze(built, text, store, platform), CodeAnalysisResult::valid);
    ASSERT_EQ(changes.changes.size(), 1u);
    const std::string change = changes.described()[0];
    EXPECT_EQ(std::ranges::count(change.substr(change.find('=')), 'k'), isColour(key) ? 3 : 0)
        << change << ": the colour's untouched components are kept";
    EXPECT_EQ(testing::buildSnippet(*layer, platform).text, text);
  }
}

}  // namespace
}  // namespace tessary::code_editor
