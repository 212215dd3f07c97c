#pragma once
// The Qt item model of the library grid over the mirror's items: title,
// subtitle and thumbnail per cell; internal drags move cells, dropped files
// are imported at the drop position. Cells accept no drops themselves, so
// a drop lands between them.

#include <QAbstractListModel>
#include <QImage>
#include <functional>
#include <string>
#include <vector>

#include "platform/foundation/keyed_hash.h"
#include "preview/image_browser_mirror.h"
#include "preview/thumbnail_loader.h"

namespace velumar {

class ImageBrowserModel : public QAbstractListModel {
  Q_OBJECT

 public:
  enum Role { SubtitleRole = Qt::UserRole + 1, ThumbnailRole, FailedRole };
  static constexpr const char* kRowsMimeType = "application/x-velumar-grid-rows";
  // Imports dropped files (the drop position is already set); false when refused.
  using DropImporter = std::function<bool(const std::vector<std::string>& paths)>;

  ImageBrowserModel(ImageBrowserMirror& mirror, ThumbnailLoader& loader, QObject* parent = nullptr);

  void setDropImporter(DropImporter importer) { dropImporter_ = std::move(importer); }
  // The whole grid changed (reload).
  void reload();
  // A thumbnail arrived: the cells of that file and version change.
  void thumbnailArrived(const ThumbnailKey& key, const Thumbnail& thumbnail);
  ThumbnailKey keyAt(int row) const;
  // The most files that share a bucket of the rows-by-path table.
  std::size_t largestPathBucket() const { return foundation::largestBucket(rowsByPath_); }

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  Qt::DropActions supportedDropActions() const override;
  Qt::DropActions supportedDragActions() const override;
  QStringList mimeTypes() const override;
  QMimeData* mimeData(const QModelIndexList& indexes) const override;
  bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                       const QModelIndex& parent) const override;
  bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                    const QModelIndex& parent) override;

 private:
  ImageBrowserMirror& mirror_;
  ThumbnailLoader& loader_;
  DropImporter dropImporter_;
  // The rows of each file, rebuilt on every reload (thumbnails arrive by
  // file). Paths come from folders anyone may have named: keyed hash.
  foundation::KeyedStringMap<std::vector<std::size_t>> rowsByPath_;
};

// The thumbnail's pixels as a QImage sharing them.
QImage qImageForThumbnail(const Thumbnail& thumbnail);

}  // namespace velumar
