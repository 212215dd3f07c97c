#pragma once
// The library outline's model: the folders of the library tree as top-level
// rows ("<folder> (<count>)"), their files as children. Read-only; rebuilt
// whenever the list changes.

#include <QAbstractItemModel>
#include <memory>

#include "preview/library_tree.h"

namespace velumar {

class LibraryOutlineModel : public QAbstractItemModel {
  Q_OBJECT

 public:
  explicit LibraryOutlineModel(QObject* parent = nullptr);

  void setTree(LibraryTree tree);
  const LibraryTree& tree() const { return tree_; }

  QModelIndex folderIndex(const std::shared_ptr<LibraryFolder>& folder) const;
  QModelIndex leafIndex(const std::shared_ptr<LibraryLeaf>& leaf) const;
  // The leaf of a file row; nullptr for folder rows.
  std::shared_ptr<LibraryLeaf> leafAt(const QModelIndex& index) const;

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;

 private:
  LibraryTree tree_;
};

}  // namespace velumar
