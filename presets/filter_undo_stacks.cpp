#include "presets/filter_undo_stacks.h"

#include <utility>

namespace velumar {

void FilterUndoStacks::setCurrent(FilterSnapshot snapshot) {
  current_ = std::move(snapshot);
}

void FilterUndoStacks::record(FilterSnapshot snapshot) {
  if (undo_.size() >= kUndoLimit)
    undo_.back() = std::move(current_);
  else
    undo_.push_back(std::move(current_));
  redo_.clear();
  current_ = std::move(snapshot);
}

std::optional<FilterSnapshot> FilterUndoStacks::undo() {
  if (undo_.empty()) return std::nullopt;
  redo_.push_back(std::move(current_));
  current_ = std::move(undo_.back());
  undo_.pop_back();
  return current_;
}

std::optional<FilterSnapshot> FilterUndoStacks::redo() {
  if (redo_.empty()) return std::nullopt;
  undo_.push_back(std::move(current_));
  current_ = std::move(redo_.back());
  redo_.pop_back();
  return current_;
}

void FilterUndoStacks::clear() {
  undo_.clear();
  redo_.clear();
}

}  // namespace velumar
