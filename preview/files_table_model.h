#pragma once
// The files table's model: one row per preview-list entry, in list order,
// showing the file name (decoded for display only); the full path is the
// tool tip and, as bytes, the PathRole.

#include <QAbstractTableModel>

#include "preview/organized_url.h"

namespace velumar {

class FilesTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  static constexpr int PathRole = Qt::UserRole + 1;

  explicit FilesTableModel(QObject* parent = nullptr);

  // Shows these entries (the list's own, read when asked).
  void setEntries(const OrganizedURLList* entries);
  // The list changed: rows are read again.
  void reload();

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  const OrganizedURLList* entries_ = nullptr;
};

}  // namespace velumar
