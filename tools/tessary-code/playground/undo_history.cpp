#include "undo_history.h"

#include <utility>

namespace tessary::tool {

void UndoHistory::record(std::string before) {
  undo_.push_back(std::move(before));
  if (undo_.size() > limit_) undo_.erase(undo_.begin());
  redo_.clear();
}

std::optional<std::string> UndoHistory::undo(std::string current) {
  if (undo_.empty()) return std::nullopt;
  std::string snapshot = std::move(undo_.back());
  undo_.pop_back();
  redo_.push_back(std::move(current));
  return snapshot;
}

std::optional<std::string> UndoHistory::redo(std::string current) {
  if (redo_.empty()) return std::nullopt;
  std::string snapshot = std::move(redo_.back());
  redo_.pop_back();
  undo_.push_back(std::move(current));
  return snapshot;
}

}  // namespace tessary::tool
