#include "preview/library_outline_model.h"

#include <QFile>
#include <algorithm>

#include "platform/ui/plain_text.h"

namespace velumar {
namespace {

// Folder rows carry id 0; file rows their folder's row + 1.
constexpr quintptr kFolderId = 0;

QString displayed(const std::string& bytes) {
  return QFile::decodeName(QByteArray::fromStdString(bytes));
}

}  // namespace

LibraryOutlineModel::LibraryOutlineModel(QObject* parent) : QAbstractItemModel(parent) {}

void LibraryOutlineModel::setTree(LibraryTree tree) {
  beginResetModel();
  tree_ = std::move(tree);
  endResetModel();
}

QModelIndex LibraryOutlineModel::folderIndex(const std::shared_ptr<LibraryFolder>& folder) const {
  const auto found = std::find(tree_.begin(), tree_.end(), folder);
  return found == tree_.end() ? QModelIndex() : index(int(found - tree_.begin()), 0);
}

QModelIndex LibraryOutlineModel::leafIndex(const std::shared_ptr<LibraryLeaf>& leaf) const {
  if (!leaf) return {};
  const QModelIndex folder = folderIndex(leaf->folder.lock());
  if (!folder.isValid()) return {};
  const auto& children = tree_[std::size_t(folder.row())]->children;
  const auto found = std::find(children.begin(), children.end(), leaf);
  return found == children.end() ? QModelIndex() : index(int(found - children.begin()), 0, folder);
}

std::shared_ptr<LibraryLeaf> LibraryOutlineModel::leafAt(const QModelIndex& index) const {
  if (!index.isValid() || index.internalId() == kFolderId) return nullptr;
  const std::size_t folder = std::size_t(index.internalId() - 1);
  if (folder >= tree_.size() || std::size_t(index.row()) >= tree_[folder]->children.size()) return nullptr;
  return tree_[folder]->children[std::size_t(index.row())];
}

QModelIndex LibraryOutlineModel::index(int row, int column, const QModelIndex& parent) const {
  if (column != 0 || row < 0) return {};
  if (!parent.isValid())
    return std::size_t(row) < tree_.size() ? createIndex(row, 0, kFolderId) : QModelIndex();
  if (parent.internalId() != kFolderId || std::size_t(parent.row()) >= tree_.size()) return {};
  if (std::size_t(row) >= tree_[std::size_t(parent.row())]->children.size()) return {};
  return createIndex(row, 0, quintptr(parent.row()) + 1);
}

QModelIndex LibraryOutlineModel::parent(const QModelIndex& child) const {
  if (!child.isValid() || child.internalId() == kFolderId) return {};
  return createIndex(int(child.internalId() - 1), 0, kFolderId);
}

int LibraryOutlineModel::rowCount(const QModelIndex& parent) const {
  if (!parent.isValid()) return int(tree_.size());
  if (parent.internalId() != kFolderId || std::size_t(parent.row()) >= tree_.size()) return 0;
  return int(tree_[std::size_t(parent.row())]->children.size());
}

int LibraryOutlineModel::columnCount(const QModelIndex&) const {
  return 1;
}

QVariant LibraryOutlineModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  if (index.internalId() == kFolderId) {
    if (std::size_t(index.row()) >= tree_.size()) return {};
    const LibraryFolder& folder = *tree_[std::size_t(index.row())];
    if (role == Qt::DisplayRole) return displayed(folder.pathValue);
    if (role == Qt::ToolTipRole) return ui::plainToolTip(displayed(folder.pathValueURL));
    return {};
  }
  const std::shared_ptr<LibraryLeaf> leaf = leafAt(index);
  if (!leaf) return {};
  if (role == Qt::DisplayRole) return displayed(leaf->pathValue);
  if (role == Qt::ToolTipRole)
    if (const auto entry = leaf->pathOrganizedURL.lock()) return ui::plainToolTip(displayed(entry->path));
  return {};
}

}  // namespace velumar
