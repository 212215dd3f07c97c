#include "preview/files_table_model.h"

#include <QFile>

#include "platform/ui/plain_text.h"

namespace velumar {

FilesTableModel::FilesTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void FilesTableModel::setEntries(const OrganizedURLList* entries) {
  beginResetModel();
  entries_ = entries;
  endResetModel();
}

void FilesTableModel::reload() {
  beginResetModel();
  endResetModel();
}

int FilesTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() || !entries_ ? 0 : int(entries_->size());
}

int FilesTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 1;
}

QVariant FilesTableModel::data(const QModelIndex& index, int role) const {
  if (!entries_ || !index.isValid() || std::size_t(index.row()) >= entries_->size()) return {};
  const OrganizedURL& entry = *(*entries_)[std::size_t(index.row())];
  switch (role) {
    case Qt::DisplayRole:
      return QFile::decodeName(QByteArray::fromStdString(entry.fileName()));
    case Qt::ToolTipRole:
      return ui::plainToolTip(QFile::decodeName(QByteArray::fromStdString(entry.path)));
    case PathRole:
      return QByteArray::fromStdString(entry.path);
    default:
      return {};
  }
}

QVariant FilesTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role == Qt::DisplayRole && orientation == Qt::Horizontal && section == 0) return tr("Files");
  return QAbstractTableModel::headerData(section, orientation, role);
}

}  // namespace velumar
