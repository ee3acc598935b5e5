#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "tessary/code_editor/code_analysis_result.h"
#include "tessary/code_editor/code_history.h"
#include "tessary/code_editor/code_platform.h"
#include "tessary/code_editor/line_problem.h"
#include "tessary/platform/dispatch_queue.h"
#include "tessary/platform/text_storage.h"
#include "tessary/store/data_store.h"

namespace tessary::code_editor {

// Runs the snippet in reverse: given the whole text after the user edited it, finds the property
// lines that changed since the last build (whose records are `history`), reads their new numbers
// and writes them into the store.
//
// A plain value. The records are immutable once set and shared between copies, so handing an
// analyzer (or an analysis) a build's records copies none of their text.
class CodeAnalyzer {
 public:
  // `historyQueue` is the queue on which an analysis reads the records.
  explicit CodeAnalyzer(platform::DispatchQueue historyQueue);

  // The records of the build whose text the user is editing, in placement order. Setting the
  // records of a build that follows the one set before reads only the records that changed.
  const std::vector<CodeHistory>& history() const;
  void setHistory(std::vector<CodeHistory> history);

  // Set by the host while the user is still typing: a line whose number is unfinished is then
  // passed over instead of ending the analysis with `pending`.
  bool isPending = false;

  // Analyses the complete edited text `newString` of a snippet written for `platform` and writes
  // the changed lines' numbers into `dataStore`, on the calling thread. Answers `invalid` when no
  // line changed or a changed line lost its shape or its number, `pending` for an unfinished
  // number (unless `isPending`), `valid` when the changed lines were written. Writes of lines
  // handled before a line that ends the analysis stay made. `textStorage`, the host's text that
  // holds `newString`, is neither read nor changed. Must not be called from a block running on the
  // history queue.
  CodeAnalysisResult analyzeString(std::string_view newString,
                                   const platform::TextStorage& textStorage,
                                   store::DataStore& dataStore, CodePlatform platform) const;

  // The same analysis with the same answer and writes, which also appends to `problems` why
  // lines could not be used: each built line that no longer stands in the text, the changed line
  // that ended the analysis, and the unfinished lines passed over while `isPending`. Lines after
  // the one that ended the analysis are not looked at.
  CodeAnalysisResult analyzeString(std::string_view newString,
                                   const platform::TextStorage& textStorage,
                                   store::DataStore& dataStore, CodePlatform platform,
                                   std::vector<LineProblem>& problems) const;

 private:
  CodeAnalysisResult analyze(std::string_view newString, store::DataStore& dataStore,
                             CodePlatform platform, std::vector<LineProblem>* problems) const;

  struct IndexedHistory;

  std::shared_ptr<const IndexedHistory> history_;
  platform::DispatchQueue historyReadQueue_;
};

}  // namespace tessary::code_editor
