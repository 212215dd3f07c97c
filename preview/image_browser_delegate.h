#pragma once
// Draws one cell of the library grid: the thumbnail fitted in its square
// with a soft shadow (a placeholder frame until it arrives or when the file
// gives none), the accent-coloured outline when selected, the title in
// white (bold when selected) and the subtitle in the accent colour.

#include <QStyledItemDelegate>

namespace velumar {

class ImageBrowserDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  // The thumbnail square's side in pixels (the zoom).
  void setImageSide(int side) { imageSide_ = side; }
  int imageSide() const { return imageSide_; }
  // The whole cell: the square plus the two text lines.
  QSize cellSize() const;

  // Where the two text lines of a cell go: each as high as its font's line
  // (descenders such as underscores included).
  QRect titleRect(const QRect& cell) const;
  QRect subtitleRect(const QRect& cell) const;
  // The subtitle elided to width; the pixel size goes last ("W x H, type"
  // loses its type first).
  static QString fittedSubtitle(const QString& subtitle, const QFontMetrics& metrics, int width);

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

  static QColor accentColor();

 private:
  int imageSide_ = 256;
};

}  // namespace velumar
