#include "tessary/code_editor/code_analyzer.h"

#include <array>
#include <optional>
#include <utility>

#include "current_line_finder.h"
#include "tessary/code_editor/change_locator.h"
#include "tessary/code_editor/store_update.h"
#include "tessary/store/property_table.h"

namespace tessary::code_editor {

namespace {

using store::ConfigType;

// Whether each type's line patterns match somewhere in one edited text, worked out at most once
// per type and text.
class LinePatternAnswers {
 public:
  LinePatternAnswers(std::string_view newString, CodePlatform platform)
      : newString_(newString), platform_(platform) {}

  // A changed line that itself has the shape answers at once: these patterns have no look-around
  // or anchors, so a match within the line is a match within the whole text.
  bool matches(std::string_view line, ConfigType type) {
    if (ChangeLocator::matchesLinePatterns(line, platform_, type)) return true;
    std::optional<bool>& answer = answers_[type.index()];
    if (!answer) answer = ChangeLocator::matchesLinePatterns(newString_, platform_, type);
    return *answer;
  }

 private:
  std::string_view newString_;
  CodePlatform platform_;
  std::array<std::optional<bool>, ConfigType::caseCount> answers_{};
};

// Whether the snippet can change the property: its numbers are read from its line. Names,
// textures and the layer's modes are shown, not read.
bool isReadFromItsLine(ConfigType type) {
  const store::PropertyTable::Kind kind = type.row().kind;
  return kind == store::PropertyTable::Kind::number || kind == store::PropertyTable::Kind::color;
}

}  // namespace

struct CodeAnalyzer::IndexedHistory {
  explicit IndexedHistory(std::vector<CodeHistory> history)
      : records(std::move(history)), finder(records) {}
  // Shares with `previous` the index of what did not change.
  IndexedHistory(std::vector<CodeHistory> history, const IndexedHistory& previous)
      : records(std::move(history)),
        finder(CurrentLineFinder::renewed(records, previous.records, previous.finder)) {}

  std::vector<CodeHistory> records;
  CurrentLineFinder finder;
};

CodeAnalyzer::CodeAnalyzer(platform::DispatchQueue historyQueue)
    : history_(std::make_shared<const IndexedHistory>(std::vector<CodeHistory>())),
      historyReadQueue_(std::move(historyQueue)) {}

const std::vector<CodeHistory>& CodeAnalyzer::history() const {
  return history_->records;
}

void CodeAnalyzer::setHistory(std::vector<CodeHistory> history) {
  history_ = std::make_shared<const IndexedHistory>(std::move(history), *history_);
}

CodeAnalysisResult CodeAnalyzer::analyzeString(std::string_view newString,
                                               const platform::TextStorage& /*textStorage*/,
                                               store::DataStore& dataStore,
                                               CodePlatform platform) const {
  return analyze(newString, dataStore, platform, nullptr);
}

CodeAnalysisResult CodeAnalyzer::analyzeString(std::string_view newString,
                                               const platform::TextStorage& /*textStorage*/,
                                               store::DataStore& dataStore, CodePlatform platform,
                                               std::vector<LineProblem>& problems) const {
  return analyze(newString, dataStore, platform, &problems);
}

CodeAnalysisResult CodeAnalyzer::analyze(std::string_view newString, store::DataStore& dataStore,
                                         CodePlatform platform,
                                         std::vector<LineProblem>* problems) const {
  using Reason = LineProblem::Reason;
  const std::shared_ptr<const IndexedHistory> history =
      historyReadQueue_.sync([this] { return history_; });
  const std::vector<CodeHistory>& records = history->records;
  if (records.empty()) return CodeAnalysisResult::invalid;

  const CurrentLineFinder::CurrentLines lines = history->finder.currentLines(newString);
  LinePatternAnswers linePatterns(newString, platform);
  CodeAnalysisResult result = CodeAnalysisResult::invalid;
  for (std::size_t i = 0; i < records.size(); ++i) {
    const CodeHistory& record = records[i];
    if (!lines[i]) {
      if (problems != nullptr && ChangeLocator::fixedBeginning(record.string())) {
        problems->push_back({Reason::lineMissing, record, std::nullopt, {}, {}});
      }
      continue;
    }
    const platform::StringRange line = *lines[i];
    const std::string_view lineText = newString.substr(line.begin, line.size());
    if (history->finder.isAsBuilt(i, lineText)) continue;

    // Said only when asked for: an analysis on every keystroke copies no record.
    std::optional<LineProblem> problem;
    if (problems != nullptr) problem = LineProblem{Reason::shapeLost, record, line, {}, {}};
    CodeAnalysisResult outcome = CodeAnalysisResult::invalid;
    const std::optional<ConfigType> type = ConfigType::fromKeyPath(record.keypath());
    if (!type || !linePatterns.matches(lineText, *type)) {
      if (problem) {
        if (!type || !isReadFromItsLine(*type)) problem->reason = Reason::notEditable;
        problems->push_back(std::move(*problem));
      }
      return CodeAnalysisResult::invalid;
    }
    StoreUpdate::applyEdit(dataStore, record.cellIndex(), record.subcellIndex(), newString, line,
                           platform, outcome, *type, problem ? &*problem : nullptr);
    if (problem && outcome != CodeAnalysisResult::valid) problems->push_back(std::move(*problem));
    switch (outcome) {
      case CodeAnalysisResult::invalid:
        return CodeAnalysisResult::invalid;
      case CodeAnalysisResult::pending:
        if (!isPending) return CodeAnalysisResult::pending;
        result = CodeAnalysisResult::invalid;
        break;
      case CodeAnalysisResult::valid:
        result = CodeAnalysisResult::valid;
        break;
    }
  }
  return result;
}

}  // namespace tessary::code_editor
