#pragma once

namespace tessary::store {

// Where a change of the store came from, so that a host can tell its own echo from a change made
// elsewhere. The code view's edits use the first case.
enum class DataUpdateSource { codeEditor, control, textField, undoRedo, file };

}  // namespace tessary::store
