#pragma once

#include <cstddef>
#include <deque>
#include <variant>
#include <vector>

#include "tessary/store/data_store.h"

namespace tessary::tool {

// Undo and redo of the changes the store tells of. A step keeps what each of its changes
// replaced and what it put in its place (a number with its bounds, a colour, a choice, a name, a
// texture, a cell added or removed, the whole layer replaced), never a copy of the effect, so
// its size follows what changed. The history keeps at most so many steps and so many bytes,
// forgetting the oldest steps first.
class UndoHistory {
 public:
  explicit UndoHistory(std::size_t maxSteps = 500, std::size_t maxBytes = std::size_t{64} << 20)
      : maxSteps_(maxSteps), maxBytes_(maxBytes) {}

  // Adds a change to the step being made. A number or colour changed again right after its last
  // change stays one change, so a drag keeps its first and its last value only.
  void record(const store::StoreChange& change);
  void record(const store::StructureChange& change);
  // Ends the step being made and forgets what could be redone; false (and no step) when its
  // changes came back to where they started.
  bool commit();
  // Takes the last step back in `store`, or makes the last step taken back again; false when
  // there is none. The store tells of these changes as `undoRedo`; they are not recorded.
  bool undo(store::DataStore& store);
  bool redo(store::DataStore& store);

  // A step still being made (a drag, typing) can be undone too: undo ends it first.
  bool canUndo() const { return !undo_.empty() || !open_.empty(); }
  bool canRedo() const { return !redo_.empty(); }

 private:
  using Change = std::variant<store::StoreChange, store::StructureChange>;
  struct Step {
    std::vector<Change> changes;
    std::size_t bytes = 0;
  };

  void push(std::deque<Step>& steps, Step step);
  Step pop(std::deque<Step>& steps);

  std::size_t maxSteps_;
  std::size_t maxBytes_;
  std::vector<Change> open_;
  std::deque<Step> undo_;
  std::deque<Step> redo_;
  std::size_t bytes_ = 0;  // about how much memory the steps hold
};

}  // namespace tessary::tool
