#include "tessary/code_editor/code_analyzer.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "analysis_test_support.h"
#include "tessary/store/formatters.h"

namespace tessary::code_editor {
namespace {

using platform::Color;
using store::AnyKeyPath;
using store::CellProperty;
using store::LayerProperty;
using store::StoreChange;
using testing::ChangeRecorder;

constexpr auto valid = CodeAnalysisResult::valid;
constexpr auto pending = CodeAnalysisResult::pending;
constexpr auto invalid = CodeAnalysisResult::invalid;

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    if (end == std::string::npos) return lines;
    start = end + 1;
  }
}

std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += '\n';
    text += lines[i];
  }
  return text;
}

// `text` with the first line that begins with `beginning` replaced by `line`.
std::string replacingLine(const std::string& text, const std::string& beginning,
                          const std::string& line) {
  std::vector<std::string> lines = splitLines(text);
  for (std::string& candidate : lines) {
    if (candidate.starts_with(beginning)) {
      candidate = line;
      return joined(lines);
    }
  }
  ADD_FAILURE() << "no line begins with " << beginning;
  return text;
}

// Two cells; the first one's name holds the second one's birth-rate line.
store::LayerConfigRef twoCells() {
  auto layer = std::make_shared<store::LayerConfig>();
  for (int i = 0; i < 2; ++i) {
    auto cell = std::make_shared<store::CellConfig>();
    cell->name = i == 0 ? "x cell2.birthRate = 5" : "spark";
    cell->birthRate.setValue(120);
    cell->lifetime.setValue(2);
    layer->cells.push_back(cell);
  }
  store::DataStore::renumberCells(*layer);
  return layer;
}

class CodeAnalyzerTest : public ::testing::Test {
 protected:
  CodeAnalyzerTest() { analyzer_.setHistory(built_.records); }

  CodeAnalysisResult analyze(const std::string& text) {
    return analyzer_.analyzeString(text, storage_, store_, CodePlatform::iOS);
  }

  platform::DispatchQueue queue_{"tessary.history"};
  CodeAnalyzer analyzer_{queue_};
  store::LayerConfigRef layer_ = twoCells();
  testing::BuiltSnippet built_ = testing::buildSnippet(*layer_, CodePlatform::iOS);
  store::DataStore store_{layer_->deepCopy()};
  ChangeRecorder recorder_{store_};
  platform::TextStorage storage_;
};

TEST_F(CodeAnalyzerTest, AnAnalyzerWithoutHistoryFindsNothing) {
  const CodeAnalyzer fresh(queue_);
  EXPECT_TRUE(fresh.history().empty());
  EXPECT_FALSE(fresh.isPending);
  EXPECT_EQ(fresh.analyzeString(built_.text, storage_, store_, CodePlatform::iOS), invalid);
  EXPECT_EQ(fresh.analyzeString("cell1.birthRate = 5", storage_, store_, CodePlatform::iOS),
            invalid);
}

TEST_F(CodeAnalyzerTest, AnUnchangedTextChangesNothing) {
  EXPECT_EQ(analyze(built_.text), invalid);
  EXPECT_TRUE(recorder_.changes.empty());
}

TEST_F(CodeAnalyzerTest, OneEditedNumberIsWritten) {
  EXPECT_EQ(analyze(replacingLine(built_.text, "cell2.birthRate", "cell2.birthRate = 7")), valid);
  ASSERT_EQ(recorder_.changes.size(), 1u);
  EXPECT_EQ(recorder_.changes[0].keypath, AnyKeyPath(CellProperty::birthRate));
  EXPECT_EQ(recorder_.changes[0].cellIdx, 1);
  EXPECT_EQ(recorder_.changes[0].newValue, store::StoreValue(7.0));
}

TEST_F(CodeAnalyzerTest, EditedLinesAndTheirAnswers) {
  struct Row {
    std::string name;
    std::vector<std::pair<std::string, std::string>> edits;  // line beginning, new line
    bool isPending;
    CodeAnalysisResult expected;
    std::vector<std::pair<AnyKeyPath, double>> writes;  // of cell1 and cell2 in turn
  };
  const std::vector<Row> rows{
      {"unfinished number", {{"cell1.birthRate", "cell1.birthRate = 1."}}, false, pending, {}},
      {"unfinished number while typing",
       {{"cell1.birthRate", "cell1.birthRate = 1."}},
       true,
       invalid,
       {}},
      {"a valid line, then one without its number",
       {{"cell1.birthRate", "cell1.birthRate = 9"}, {"cell1.lifetime", "cell1.lifetime = "}},
       false,
       invalid,
       {{CellProperty::birthRate, 9.0}}},
      {"a pending line, then a valid one, while typing",
       {{"cell1.birthRate", "cell1.birthRate = 9."}, {"cell2.lifetime", "cell2.lifetime = 4"}},
       true,
       valid,
       {{CellProperty::lifetime, 4.0}}},
      {"a valid line, then a pending one, while typing",
       {{"cell1.birthRate", "cell1.birthRate = 9"}, {"cell2.lifetime", "cell2.lifetime = 4."}},
       true,
       invalid,
       {{CellProperty::birthRate, 9.0}}},
      {"the whole line deleted", {{"cell1.birthRate", ""}}, false, invalid, {}},
      {"a name line edited", {{"cell1.name", "cell1.name = \"y\""}}, false, invalid, {}},
      {"a shape line edited",
       {{"particlesLayer.emitterShape", "particlesLayer.emitterShape = .line"}},
       false,
       invalid,
       {}},
      {"the only colour line in the other platform's form",
       {{"cell1.color",
         "cell1.color = NSColor(red: 1/255.0, green: 1/255.0, blue: 1/255.0, "
         "alpha: 1.0).cgColor"},
        {"cell2.color",
         "cell2.color = NSColor(red: 1/255.0, green: 1/255.0, blue: 1/255.0, "
         "alpha: 1.0).cgColor"}},
       false,
       invalid,
       {}},
      // The first cell's name line holds "x cell2.birthRate = 5": it does not stand in for
      // the second cell's line.
      {"a name holding another line's text",
       {{"cell2.birthRate", "cell2.birthRate = 6"}},
       false,
       valid,
       {{CellProperty::birthRate, 6.0}}},
      {"a header edited",
       {{"let cell1", "let cell1 = CAEmitterCell() // mine"}},
       false,
       invalid,
       {}},
  };
  for (const Row& row : rows) {
    store::DataStore store(layer_->deepCopy());
    ChangeRecorder recorder(store);
    std::string text = built_.text;
    for (const auto& [beginning, line] : row.edits) text = replacingLine(text, beginning, line);
    CodeAnalyzer analyzer = analyzer_;
    analyzer.isPending = row.isPending;
    EXPECT_EQ(analyzer.analyzeString(text, storage_, store, CodePlatform::iOS), row.expected)
        << row.name;
    ASSERT_EQ(recorder.changes.size(), row.writes.size()) << row.name;
    for (std::size_t i = 0; i < row.writes.size(); ++i) {
      EXPECT_EQ(recorder.changes[i].keypath, row.writes[i].first) << row.name;
      EXPECT_EQ(recorder.changes[i].newValue, store::StoreValue(row.writes[i].second)) << row.name;
    }
  }
}

TEST_F(CodeAnalyzerTest, CopiesShareRecordsButNotTheirSetting) {
  CodeAnalyzer copy = analyzer_;
  EXPECT_EQ(&copy.history(), &analyzer_.history());
  copy.setHistory({});
  EXPECT_TRUE(copy.history().empty());
  EXPECT_EQ(analyzer_.history().size(), built_.records.size());
}

// Generated edits ------------------------------------------------------------------------------

const std::vector<std::string>& numberTexts() {
  static const std::vector<std::string> kTexts{"5",
                                               "12.5",
                                               "-7.25",
                                               "0",
                                               "15.",
                                               ".5",
                                               "1.2.5",
                                               "-",
                                               "-5",
                                               "abc",
                                               "",
                                               "1-2",
                                               "7.",
                                               ".25",
                                               "12.",
                                               "-.",
                                               "255",
                                               "0.0",
                                               " 3",
                                               "3 ",
                                               "1e5",
                                               std::string(400, '9'),
                                               "\xD9\xA1\xD9\xA2"};
  return kTexts;
}

// The number-like runs of a line: each run of "-0123456789." right after "= " or ": ".
std::vector<std::pair<std::size_t, std::size_t>> numberRuns(const std::string& line) {
  std::vector<std::pair<std::size_t, std::size_t>> runs;
  for (std::size_t at = 2; at <= line.size(); ++at) {
    if (line[at - 1] != ' ' || (line[at - 2] != '=' && line[at - 2] != ':')) continue;
    std::size_t end = at;
    while (end < line.size() &&
           std::string_view("-0123456789.").find(line[end]) != std::string_view::npos) {
      ++end;
    }
    if (end > at) runs.emplace_back(at, end - at);
  }
  return runs;
}

std::string editedText(const std::string& text, std::mt19937_64& random) {
  std::vector<std::string> lines = splitLines(text);
  const auto pick = [&](std::size_t count) {
    return std::uniform_int_distribution<std::size_t>(0, count - 1)(random);
  };
  const int edits = 1 + static_cast<int>(pick(3));
  for (int edit = 0; edit < edits; ++edit) {
    std::string& line = lines[pick(lines.size())];
    switch (edit == 0 ? 0 : pick(9)) {  // the first edit changes a number
      case 0:
      case 1:
      case 2: {
        const auto runs = numberRuns(line);
        if (runs.empty()) break;
        const auto [at, length] = runs[pick(runs.size())];
        line.replace(at, length, numberTexts()[pick(numberTexts().size())]);
        break;
      }
      case 3:
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(pick(lines.size())));
        break;
      case 4: {
        std::string copy = line;
        const auto runs = numberRuns(copy);
        if (!runs.empty()) copy.replace(runs[0].first, runs[0].second, "42");
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(pick(lines.size())), copy);
        break;
      }
      case 5:
        line = (pick(2) == 0 ? "x " : " \t") + line;
        break;
      case 6:
        for (const char* label : {", green:", "(red:", ").cgColor", ", y:", ", height:"}) {
          const std::size_t found = line.find(label);
          if (found != std::string::npos) line.erase(found, 3);
        }
        break;
      case 7:
        line += pick(2) == 0 ? "\xE2\x80\xA8" : "\r";
        break;
      case 8:
        if (!line.empty()) line[pick(line.size())] = "aZ=.(\"_"[pick(7)];
        break;
    }
  }
  return joined(lines);
}

TEST(CodeAnalyzerDifferentialTest, AnswersAndWritesAgreeWithTheStraightforwardAnalysis) {
  const std::uint64_t seed = std::random_device{}();
  std::mt19937_64 random(seed);
  const platform::DispatchQueue queue("tessary.history");
  const platform::TextStorage storage;
  int answered[3] = {};
  for (int round = 0; round < 200; ++round) {
    const auto platform = round % 2 == 0 ? CodePlatform::macOS : CodePlatform::iOS;
    const auto layer = testing::generatedEffect(random, 1 + static_cast<int>(random() % 4), 2);
    const auto built = testing::buildSnippet(*layer, platform);
    const std::string text = editedText(built.text, random);
    const bool isPending = random() % 2 == 0;

    store::DataStore referenceStore(layer->deepCopy());
    ChangeRecorder referenceChanges(referenceStore);
    const CodeAnalysisResult expected =
        testing::referenceAnalysis(built.records, text, referenceStore, platform, isPending);

    store::DataStore store(layer->deepCopy());
    ChangeRecorder changes(store);
    CodeAnalyzer analyzer(queue);
    analyzer.setHistory(built.records);
    analyzer.isPending = isPending;
    const CodeAnalysisResult answer = analyzer.analyzeString(text, storage, store, platform);

    ASSERT_EQ(answer, expected) << "seed " << seed << ", round " << round << "\n" << text;
    ASSERT_EQ(changes.changes.size(), referenceChanges.changes.size())
        << "seed " << seed << ", round " << round;
    for (std::size_t i = 0; i < changes.changes.size(); ++i) {
      ASSERT_TRUE(testing::sameChange(changes.changes[i], referenceChanges.changes[i]))
          << "seed " << seed << ", round " << round << ": " << testing::describe(changes.changes[i])
          << " vs " << testing::describe(referenceChanges.changes[i]);
    }
    ++answered[static_cast<int>(answer)];
  }
  // The generated edits reach every answer.
  EXPECT_GT(answered[0], 0) << "seed " << seed;
  EXPECT_GT(answered[1], 0) << "seed " << seed;
  EXPECT_GT(answered[2], 0) << "seed " << seed;
}

// Round trip -------------------------------------------------------------------------------------

// Digits the snippet shows for a number of a line, and whether it may be negative.
struct ShownNumber {
  int digits;
  bool isSigned;
  double largest;
};

ShownNumber shownNumber(AnyKeyPath key, std::size_t run, std::size_t runs) {
  if (key == LayerProperty::background || key == CellProperty::color) {
    return run + 1 < runs ? ShownNumber{0, false, 255} : ShownNumber{2, false, 1};
  }
  if (key == LayerProperty::emitterPositionX) return {1, true, 500};
  if (key == LayerProperty::emitterWidth) return {1, false, 500};
  const store::PropertyTable::Row* row = store::PropertyTable::find(key);
  if (row != nullptr && row->isCellNumber()) return {row->digits, row->isSigned, 300};
  return {0, false, 0};
}

TEST(CodeAnalyzerRoundTripTest, OneChangedNumberChangesThatNumberAndValueOnly) {
  const std::uint64_t seed = std::random_device{}();
  std::mt19937_64 random(seed);
  const platform::DispatchQueue queue("tessary.history");
  const platform::TextStorage storage;
  for (int round = 0; round < 200; ++round) {
    const auto platform = round % 2 == 0 ? CodePlatform::macOS : CodePlatform::iOS;
    const auto layer = testing::generatedEffect(random, 1 + static_cast<int>(random() % 3), 2);
    const auto built = testing::buildSnippet(*layer, platform);

    // A record whose line shows numbers, and one of its numbers.
    std::vector<std::size_t> numbered;
    for (std::size_t i = 0; i < built.records.size(); ++i) {
      const auto runs = numberRuns(built.records[i].string());
      const AnyKeyPath key = built.records[i].keypath();
      if (!runs.empty() && key != CellProperty::name &&
          (key.isLimitedValueProperty() || key == LayerProperty::background ||
           key == CellProperty::color)) {
        numbered.push_back(i);
      }
    }
    const CodeHistory& record = built.records[numbered[random() % numbered.size()]];
    const auto runs = numberRuns(record.string());
    std::size_t run = random() % runs.size();
    // The macOS position line shows Y measured from the emitter height: a new height moves it.
    if (platform == CodePlatform::macOS && record.keypath() == LayerProperty::emitterWidth) run = 0;
    const ShownNumber form = shownNumber(record.keypath(), run, runs.size());
    const std::string oldNumber = record.string().substr(runs[run].first, runs[run].second);
    std::string newNumber = oldNumber;
    while (newNumber == oldNumber) {
      const double value =
          testing::shownExactly(random, form.digits, form.isSigned, static_cast<int>(form.largest));
      newNumber = form.digits == 0 ? std::to_string(static_cast<long long>(value))
                                   : store::roundedTo(value, form.digits);
    }
    std::string line = record.string();
    line.replace(runs[run].first, runs[run].second, newNumber);
    std::string text = built.text;
    text.replace(text.find(record.string() + "\n"), record.string().size(), line);

    store::DataStore store(layer);
    ChangeRecorder changes(store);
    CodeAnalyzer analyzer(queue);
    analyzer.setHistory(built.records);
    const std::string context = "seed " + std::to_string(seed) + ", round " +
                                std::to_string(round) + ": " + record.string() + " -> " + line;
    ASSERT_EQ(analyzer.analyzeString(text, storage, store, platform), valid) << context;
    ASSERT_EQ(changes.changes.size(), 1u) << context;
    const StoreChange& change = changes.changes[0];
    EXPECT_EQ(change.cellIdx, record.cellIndex()) << context;
    EXPECT_EQ(change.subcellIdx, record.subcellIndex()) << context;
    if (record.keypath() == LayerProperty::emitterPositionX ||
        record.keypath() == LayerProperty::emitterWidth) {
      const AnyKeyPath second = record.keypath() == LayerProperty::emitterPositionX
                                    ? LayerProperty::emitterPositionY
                                    : LayerProperty::emitterHeight;
      EXPECT_EQ(change.keypath, run == 0 ? record.keypath() : second) << context;
    } else {
      EXPECT_EQ(change.keypath, record.keypath()) << context;
    }
    // Built again, the snippet is exactly the edited text; unchanged, it answers invalid and
    // writes nothing.
    const auto rebuilt = testing::buildSnippet(*layer, platform);
    EXPECT_EQ(rebuilt.text, text) << context;
    analyzer.setHistory(rebuilt.records);
    EXPECT_EQ(analyzer.analyzeString(rebuilt.text, storage, store, platform), invalid) << context;
    EXPECT_EQ(changes.changes.size(), 1u) << context;
  }
}

}  // namespace
}  // namespace tessary::code_editor
