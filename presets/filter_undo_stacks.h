#pragma once
// Undo and redo of the filter option values: two stacks of snapshots
// around the current one. The undo stack keeps at most 12 snapshots; once
// full, a new change overwrites its newest entry and the oldest 11 stay.
// Undo and redo only move snapshots between the stacks, and every new
// change empties the redo stack.

#include <cstddef>
#include <optional>
#include <vector>

#include "platform/foundation/value.h"

namespace velumar {

using FilterSnapshot = foundation::Array;

class FilterUndoStacks {
 public:
  static constexpr std::size_t kUndoLimit = 12;

  // The values are now snapshot; the stacks stay as they are.
  void setCurrent(FilterSnapshot snapshot);
  // A change: the previous current snapshot becomes the newest undo step.
  void record(FilterSnapshot snapshot);
  // The snapshot to restore, which becomes current; nullopt when the stack
  // is empty.
  std::optional<FilterSnapshot> undo();
  std::optional<FilterSnapshot> redo();
  void clear();

  bool canUndo() const { return !undo_.empty(); }
  bool canRedo() const { return !redo_.empty(); }
  const FilterSnapshot& current() const { return current_; }
  std::size_t undoCount() const { return undo_.size(); }
  std::size_t redoCount() const { return redo_.size(); }

 private:
  FilterSnapshot current_;
  std::vector<FilterSnapshot> undo_;  // oldest first
  std::vector<FilterSnapshot> redo_;  // oldest first
};

}  // namespace velumar
