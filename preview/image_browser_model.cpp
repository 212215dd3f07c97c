#include "preview/image_browser_model.h"

#include <QDataStream>
#include <QFile>
#include <QMimeData>
#include <QUrl>
#include <algorithm>

#include "platform/ui/plain_text.h"

namespace velumar {

QImage qImageForThumbnail(const Thumbnail& thumbnail) {
  if (!thumbnail.image) return {};
  const raster::Image& image = *thumbnail.image;
  // The image stays alive as long as the QImage shares its pixels.
  auto* keep = new raster::ImageRef(thumbnail.image);
  return QImage(
      image.data(), int(image.width()), int(image.height()), qsizetype(image.bytesPerRow()),
      QImage::Format_RGBA8888_Premultiplied, [](void* held) { delete static_cast<raster::ImageRef*>(held); },
      keep);
}

ImageBrowserModel::ImageBrowserModel(ImageBrowserMirror& mirror, ThumbnailLoader& loader, QObject* parent)
    : QAbstractListModel(parent), mirror_(mirror), loader_(loader) {}

void ImageBrowserModel::reload() {
  beginResetModel();
  rowsByPath_.clear();
  const auto& items = mirror_.items();
  for (std::size_t row = 0; row < items.size(); ++row) rowsByPath_[items[row].path].push_back(row);
  endResetModel();
}

ThumbnailKey ImageBrowserModel::keyAt(int row) const {
  const auto& items = mirror_.items();
  if (row < 0 || std::size_t(row) >= items.size()) return {};
  return {items[std::size_t(row)].path, items[std::size_t(row)].version};
}

void ImageBrowserModel::thumbnailArrived(const ThumbnailKey& key, const Thumbnail& thumbnail) {
  auto& items = mirror_.items();
  const auto rows = rowsByPath_.find(key.path);
  if (rows == rowsByPath_.end()) return;
  for (const std::size_t row : rows->second) {
    if (row >= items.size()) continue;
    BrowserOrganizedURL& item = items[row];
    if (item.path != key.path || item.version != key.version) continue;
    item.setImageInfo(thumbnail.pixelWidth, thumbnail.pixelHeight, thumbnail.detectedType);
    const QModelIndex changed = index(int(row));
    emit dataChanged(changed, changed);
  }
}

int ImageBrowserModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : int(mirror_.items().size());
}

QVariant ImageBrowserModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || std::size_t(index.row()) >= mirror_.items().size()) return {};
  auto& item = const_cast<ImageBrowserMirror&>(mirror_).items()[std::size_t(index.row())];
  switch (role) {
    case Qt::DisplayRole:
      return QString::fromStdString(item.imageTitle());
    case Qt::ToolTipRole:
      return ui::plainToolTip(QString::fromStdString(item.imageTitle()));
    case SubtitleRole:
      return QString::fromStdString(item.imageSubtitle());
    case ThumbnailRole: {
      const Thumbnail* thumbnail = loader_.thumbnail({item.path, item.version});
      return thumbnail ? QVariant(qImageForThumbnail(*thumbnail)) : QVariant();
    }
    case FailedRole: {
      const Thumbnail* thumbnail = loader_.thumbnail({item.path, item.version});
      return thumbnail != nullptr && !thumbnail->image;
    }
    default:
      return {};
  }
}

Qt::ItemFlags ImageBrowserModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::ItemIsDropEnabled;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}

Qt::DropActions ImageBrowserModel::supportedDropActions() const {
  return Qt::CopyAction | Qt::MoveAction;
}
Qt::DropActions ImageBrowserModel::supportedDragActions() const {
  return Qt::MoveAction;
}

QStringList ImageBrowserModel::mimeTypes() const {
  return {kRowsMimeType, "text/uri-list"};
}

QMimeData* ImageBrowserModel::mimeData(const QModelIndexList& indexes) const {
  auto* data = new QMimeData();
  QByteArray rows;
  QDataStream out(&rows, QIODevice::WriteOnly);
  QList<QUrl> urls;
  for (const QModelIndex& index : indexes) {
    if (!index.isValid()) continue;
    out << qint64(index.row());
    urls.push_back(
        QUrl::fromLocalFile(QFile::decodeName(mirror_.items()[std::size_t(index.row())].path.c_str())));
  }
  data->setData(kRowsMimeType, rows);
  data->setUrls(urls);
  return data;
}

bool ImageBrowserModel::canDropMimeData(const QMimeData* data, Qt::DropAction, int, int,
                                        const QModelIndex&) const {
  return data != nullptr && (data->hasFormat(kRowsMimeType) || data->hasUrls());
}

bool ImageBrowserModel::dropMimeData(const QMimeData* data, Qt::DropAction, int row, int,
                                     const QModelIndex& parent) {
  if (data == nullptr) return false;
  const int count = rowCount();
  int position = row;
  if (position < 0) position = parent.isValid() ? parent.row() : count;
  position = std::clamp(position, 0, count);
  if (data->hasFormat(kRowsMimeType)) {
    std::vector<std::size_t> rows;
    QDataStream in(data->data(kRowsMimeType));
    while (!in.atEnd()) {
      qint64 value = -1;
      in >> value;
      if (in.status() != QDataStream::Ok) break;
      if (value >= 0 && value < count) rows.push_back(std::size_t(value));
    }
    // The mirror has reordered its items and the grid was reloaded: Qt
    // must not remove the dragged rows as it does after a move.
    mirror_.moveItemsAtIndexes(rows, std::size_t(position));
    return false;
  }
  std::vector<std::string> paths;
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) paths.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
  }
  if (paths.empty() || !dropImporter_) return false;
  mirror_.setDropPosition(std::size_t(position));
  return dropImporter_(paths);
}

}  // namespace velumar
