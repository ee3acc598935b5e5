#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace tessary::tool {

// Undo and redo of whole-effect snapshots (the effect file's text): each accepted change records
// the effect as it was before it.
class UndoHistory {
 public:
  explicit UndoHistory(std::size_t limit = 500) : limit_(limit) {}

  // A change was made to `before`; forgets what could be redone.
  void record(std::string before);
  // The snapshot to go back to, with `current` kept for redo; none when there is nothing to undo.
  std::optional<std::string> undo(std::string current);
  // The snapshot to go forward to, with `current` kept for undo; none when there is nothing to
  // redo.
  std::optional<std::string> redo(std::string current);

  bool canUndo() const { return !undo_.empty(); }
  bool canRedo() const { return !redo_.empty(); }

 private:
  std::size_t limit_;
  std::vector<std::string> undo_;
  std::vector<std::string> redo_;
};

}  // namespace tessary::tool
