#include "preview/image_browser_delegate.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include "platform/ui/shadow_helper.h"
#include "preview/image_browser_model.h"

namespace velumar {

namespace {

constexpr int kShadow = 4;

QFont titleFont(bool bold) {
  QFont font;
  font.setPointSizeF(12);
  font.setBold(bold);
  return font;
}

QFont subtitleFont() {
  QFont font;
  font.setPointSizeF(10);
  return font;
}

// A text line: the font's full height (bold, the taller) plus a pixel.
int titleHeight() {
  return QFontMetrics(titleFont(true)).height() + 1;
}
int subtitleHeight() {
  return QFontMetrics(subtitleFont()).height() + 1;
}

}  // namespace

QRect ImageBrowserDelegate::titleRect(const QRect& cell) const {
  return {cell.x(), cell.y() + imageSide_, cell.width(), titleHeight()};
}

QRect ImageBrowserDelegate::subtitleRect(const QRect& cell) const {
  return {cell.x(), cell.y() + imageSide_ + titleHeight(), cell.width(), subtitleHeight()};
}

QString ImageBrowserDelegate::fittedSubtitle(const QString& subtitle, const QFontMetrics& metrics, int width) {
  if (metrics.horizontalAdvance(subtitle) <= width) return subtitle;
  const qsizetype comma = subtitle.indexOf(QStringLiteral(", "));
  const QString size = comma > 0 ? subtitle.left(comma) : subtitle;
  return metrics.elidedText(size, Qt::ElideRight, width);
}

QColor ImageBrowserDelegate::accentColor() {
  return QColor::fromRgbF(0, 0.62f, 0.89f, 1);
}

QSize ImageBrowserDelegate::cellSize() const {
  return {imageSide_, imageSide_ + titleHeight() + subtitleHeight()};
}

QSize ImageBrowserDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const {
  return cellSize();
}

void ImageBrowserDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing);
  painter->setRenderHint(QPainter::SmoothPixmapTransform);
  const QRect cell = option.rect;
  const QRect square(cell.x(), cell.y(), imageSide_, imageSide_);
  const bool selected = option.state & QStyle::State_Selected;

  const QImage image = index.data(ImageBrowserModel::ThumbnailRole).value<QImage>();
  QRectF picture = QRectF(square).adjusted(kShadow * 2, kShadow * 2, -kShadow * 2, -kShadow * 2);
  if (!image.isNull()) {
    QSizeF size = QSizeF(image.size()) / image.devicePixelRatio();
    // Small pictures keep their size; larger ones are fitted.
    if (size.width() > picture.width() || size.height() > picture.height())
      size.scale(picture.size(), Qt::KeepAspectRatio);
    picture = QRectF(picture.center() - QPointF(size.width() / 2, size.height() / 2), size);
  } else {
    picture = QRectF(picture.center() - QPointF(picture.width() / 3, picture.height() / 3),
                     QSizeF(picture.width() * 2 / 3, picture.height() * 2 / 3));
  }
  // A soft shadow under the picture (cached per size by the helper).
  QPainterPath shape;
  shape.addRect(picture);
  ui::drawShadow(*painter, shape, {double(kShadow), {0.0, 2.0}, QColor(0, 0, 0, 160)});
  painter->setPen(Qt::NoPen);
  if (!image.isNull()) {
    painter->drawImage(picture, image);
  } else {
    painter->setBrush(QColor::fromRgbF(0.192f, 0.192f, 0.192f));
    painter->drawRect(picture);
  }
  if (selected) {
    painter->setBrush(Qt::NoBrush);
    painter->setPen(QPen(accentColor(), 3));
    painter->drawRoundedRect(picture.adjusted(-3, -3, 3, 3), 4, 4);
  }

  const QRect titleLine = titleRect(cell);
  const QFont title = titleFont(selected);
  painter->setFont(title);
  painter->setPen(Qt::white);
  const QString titleText = QFontMetrics(title).elidedText(index.data(Qt::DisplayRole).toString(),
                                                           Qt::ElideRight, titleLine.width());
  painter->drawText(titleLine, Qt::AlignHCenter | Qt::AlignVCenter, titleText);
  const QRect subtitleLine = subtitleRect(cell);
  painter->setFont(subtitleFont());
  painter->setPen(accentColor());
  painter->drawText(subtitleLine, Qt::AlignHCenter | Qt::AlignVCenter,
                    fittedSubtitle(index.data(ImageBrowserModel::SubtitleRole).toString(),
                                   QFontMetrics(subtitleFont()), subtitleLine.width()));
  painter->restore();
}

}  // namespace velumar
