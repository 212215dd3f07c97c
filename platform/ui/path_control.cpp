#include "platform/ui/path_control.h"

#include <QEvent>
#include <QFile>
#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <algorithm>

namespace ui {
namespace {

constexpr double kIconSize = 16.0;
constexpr double kPadding = 4.0;
constexpr double kIconGap = 3.0;
const QString kSeparator = QStringLiteral("›");
const QString kCollapsed = QStringLiteral("…");

QList<QByteArray> splitComponents(const QByteArray& path) {
  if (!path.startsWith('/')) return {};
  QList<QByteArray> components{QByteArray("/")};
  QByteArray sofar;
  for (const QByteArray& name : path.split('/')) {
    if (name.isEmpty()) continue;
    sofar += '/' + name;
    components.append(sofar);
  }
  return components;
}

QString labelOf(const QByteArray& componentPath) {
  if (componentPath == "/") return QStringLiteral("/");
  return QFile::decodeName(componentPath.mid(componentPath.lastIndexOf('/') + 1));
}

}  // namespace

PathControl::PathControl(QWidget* parent) : QWidget(parent) {
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void PathControl::setPath(const QByteArray& path, bool isDirectory) {
  path_ = path;
  isDirectory_ = isDirectory;
  components_ = splitComponents(path);
  laidOutWidth_ = -1;
  updateGeometry();
  update();
}

void PathControl::ensureLayout() const {
  if (laidOutWidth_ == width()) return;
  layoutSegments();
  laidOutWidth_ = width();
}

QString PathControl::componentLabel(int index) const {
  ensureLayout();
  return index >= 0 && index < segments_.size() ? segments_[index].label : QString();
}

QRectF PathControl::componentRect(int index) const {
  ensureLayout();
  return index >= 0 && index < segments_.size() ? segments_[index].rect : QRectF();
}

int PathControl::componentAt(QPointF point) const {
  ensureLayout();
  for (int i = 0; i < segments_.size(); ++i)
    if (segments_[i].rect.contains(point)) return i;
  return -1;
}

double PathControl::segmentWidth(const QString& label) const {
  return kPadding + kIconSize + kIconGap + QFontMetricsF(font()).horizontalAdvance(label) + kPadding;
}

double PathControl::separatorWidth() const {
  return QFontMetricsF(font()).horizontalAdvance(kSeparator) + 2.0;
}

QSize PathControl::sizeHint() const {
  double width = 0;
  for (int i = 0; i < components_.size(); ++i)
    width += segmentWidth(labelOf(components_[i])) + (i > 0 ? separatorWidth() : 0.0);
  return QSize(int(std::ceil(std::max(width, 100.0))), minimumSizeHint().height());
}

QSize PathControl::minimumSizeHint() const {
  const double height = std::max(kIconSize, QFontMetricsF(font()).height()) + 6.0;
  return QSize(60, int(std::ceil(height)));
}

void PathControl::layoutSegments() const {
  segments_.clear();
  const int count = int(components_.size());
  if (count == 0) return;
  QList<QString> labels;
  for (const QByteArray& component : components_) labels.append(labelOf(component));

  const auto totalWidth = [&] {
    double sum = 0;
    for (int i = 0; i < count; ++i) sum += segmentWidth(labels[i]) + (i > 0 ? separatorWidth() : 0.0);
    return sum;
  };
  // Collapse the middle from the left, keeping the root and the last name.
  for (int i = 1; i < count - 1 && totalWidth() > width(); ++i) labels[i] = kCollapsed;
  const double overflow = totalWidth() - width();
  if (overflow > 0) {
    const QFontMetricsF metrics(font());
    const double room = std::max(0.0, metrics.horizontalAdvance(labels[count - 1]) - overflow);
    labels[count - 1] = metrics.elidedText(labels[count - 1], Qt::ElideMiddle, room);
  }

  double x = 0;
  for (int i = 0; i < count; ++i) {
    if (i > 0) x += separatorWidth();
    const double w = segmentWidth(labels[i]);
    segments_.append({labels[i], QRectF(x, 0, w, height())});
    x += w;
  }
}

void PathControl::paintEvent(QPaintEvent*) {
  ensureLayout();
  QPainter painter(this);
  const QIcon folder = style()->standardIcon(QStyle::SP_DirIcon);
  const QIcon file = style()->standardIcon(QStyle::SP_FileIcon);
  const QColor text = palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Text);
  painter.setPen(text);
  for (int i = 0; i < segments_.size(); ++i) {
    const QRectF& rect = segments_[i].rect;
    if (i > 0) {
      const QRectF separator(rect.left() - separatorWidth(), 0, separatorWidth(), height());
      painter.drawText(separator, Qt::AlignCenter, kSeparator);
    }
    const bool isFile = i == segments_.size() - 1 && !isDirectory_ && i > 0;
    const QRectF iconRect(rect.left() + kPadding, (height() - kIconSize) / 2, kIconSize, kIconSize);
    (isFile ? file : folder).paint(&painter, iconRect.toAlignedRect());
    const QRectF labelRect(iconRect.right() + kIconGap, 0,
                           rect.right() - kPadding - iconRect.right() - kIconGap, height());
    painter.drawText(labelRect, Qt::AlignLeft | Qt::AlignVCenter, segments_[i].label);
  }
}

void PathControl::mouseDoubleClickEvent(QMouseEvent* event) {
  const int index = componentAt(event->position());
  if (index < 0) return QWidget::mouseDoubleClickEvent(event);
  emit componentDoubleClicked(components_[index]);
}

void PathControl::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  laidOutWidth_ = -1;
}

void PathControl::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) laidOutWidth_ = -1;
}

}  // namespace ui
