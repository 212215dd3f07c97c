// The selection shared by the list, the files table and the library
// outline: a change in one view reaches the list, and the list's selection
// is shown in both views, without echoing back.

#include <QItemSelectionModel>
#include <QTableView>
#include <QTreeView>
#include <algorithm>

#include "preview/files_table_model.h"
#include "preview/library_outline_model.h"
#include "preview/preview_window.h"

namespace velumar {

void PreviewWindow::selectInTable() {
  syncingTable_ = true;
  const OrganizedIndexSet& selection = list_->imagesIndexSet();
  QItemSelection rows;
  for (std::size_t row : selection.indexSet)
    if (row < list_->imageFileUrls().size())
      rows.select(tableModel_->index(int(row), 0), tableModel_->index(int(row), 0));
  table_->selectionModel()->select(rows, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  if (selection.imageCount < list_->imageFileUrls().size()) {
    const QModelIndex current = tableModel_->index(int(selection.imageCount), 0);
    table_->selectionModel()->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
    table_->scrollTo(current);
  }
  syncingTable_ = false;
}

void PreviewWindow::tableSelectionChanged() {
  if (syncingTable_) return;
  std::vector<std::size_t> rows;
  for (const QModelIndex& index : table_->selectionModel()->selectedRows())
    rows.push_back(std::size_t(index.row()));
  if (rows.empty()) return;
  std::sort(rows.begin(), rows.end());
  const OrganizedIndexSet wanted = OrganizedIndexSet::withIndexSet(rows, rows.front());
  // Refused (blocked) or unchanged: the table shows the list's selection again.
  if (!list_->changeSelectionWithIndexSet(wanted)) selectInTable();
}

void PreviewWindow::selectInOutline() {
  syncingOutline_ = true;
  const OrganizedURLList& entries = list_->imageFileUrls();
  const OrganizedIndexSet& selection = list_->imagesIndexSet();
  const auto folders = foldersOfSelection(entries, selection);
  // Folders of the selection open, all others close.
  for (const auto& folder : outlineModel_->tree()) {
    const bool open = std::find(folders.begin(), folders.end(), folder) != folders.end();
    outline_->setExpanded(outlineModel_->folderIndex(folder), open);
  }
  QItemSelection rows;
  QModelIndex currentRow;
  for (std::size_t position : selection.indexSet) {
    if (position >= entries.size()) continue;
    const QModelIndex leaf = outlineModel_->leafIndex(entries[position]->urlLibraryNode.lock());
    if (!leaf.isValid()) continue;
    rows.select(leaf.parent(), leaf.parent());
    rows.select(leaf, leaf);
    if (position == selection.imageCount) currentRow = leaf;
  }
  outline_->selectionModel()->select(rows, QItemSelectionModel::ClearAndSelect);
  if (currentRow.isValid()) outline_->scrollTo(currentRow);
  syncingOutline_ = false;
}

void PreviewWindow::outlineSelectionChanged() {
  if (syncingOutline_) return;
  std::vector<std::shared_ptr<LibraryLeaf>> leaves;
  QItemSelection folders;
  for (const QModelIndex& index : outline_->selectionModel()->selectedIndexes())
    if (auto leaf = outlineModel_->leafAt(index)) {
      leaves.push_back(std::move(leaf));
      if (!outline_->selectionModel()->isSelected(index.parent()))
        folders.select(index.parent(), index.parent());
    }
  // Picking a file picks its folder too.
  if (!folders.isEmpty()) {
    syncingOutline_ = true;
    outline_->selectionModel()->select(folders, QItemSelectionModel::Select);
    syncingOutline_ = false;
  }
  const std::optional<OrganizedIndexSet> wanted = selectionForLeaves(leaves, list_->imageFileUrls());
  if (!wanted) return;
  if (!list_->changeSelectionWithIndexSet(*wanted)) selectInOutline();
}

std::vector<std::size_t> PreviewWindow::selectedTableRows() const {
  std::vector<std::size_t> rows;
  for (const QModelIndex& index : table_->selectionModel()->selectedRows())
    rows.push_back(std::size_t(index.row()));
  std::sort(rows.begin(), rows.end());
  return rows;
}

std::vector<std::shared_ptr<LibraryFolder>> PreviewWindow::selectedOutlineFolders() const {
  std::vector<std::shared_ptr<LibraryFolder>> folders;
  const LibraryTree& tree = outlineModel_->tree();
  for (const QModelIndex& index : outline_->selectionModel()->selectedIndexes())
    if (!index.parent().isValid() && std::size_t(index.row()) < tree.size())
      folders.push_back(tree[index.row()]);
  return folders;
}

void PreviewWindow::keepCompanion(std::unique_ptr<QObject> companion) {
  companions_.push_back(std::move(companion));
}

}  // namespace velumar
