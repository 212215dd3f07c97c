#pragma once
// A breadcrumb bar showing an absolute path as its components, root first,
// each with a folder or file icon. Double-clicking a component reports the
// full path up to and including it. Paths are bytes as the file system
// keeps them, so names that are not UTF-8 survive; labels decode them for
// display only. When the bar is too narrow, middle components collapse to
// "…" first, then the last label is elided.

#include <QByteArray>
#include <QList>
#include <QRectF>
#include <QString>
#include <QWidget>

namespace ui {

class PathControl : public QWidget {
  Q_OBJECT

 public:
  explicit PathControl(QWidget* parent = nullptr);

  // An absolute path; anything else (empty, relative) shows no components.
  // Repeated and trailing slashes are ignored. The last component shows a
  // folder icon when isDirectory, else a file icon.
  void setPath(const QByteArray& path, bool isDirectory = false);
  QByteArray path() const { return path_; }

  // For "/a/b": "/", "/a", "/a/b".
  QList<QByteArray> componentPaths() const { return components_; }
  // The text shown for component i ("…" while collapsed).
  QString componentLabel(int index) const;
  // Where component i is drawn, in widget coordinates; empty when out of range.
  QRectF componentRect(int index) const;
  // The component under a point, or -1.
  int componentAt(QPointF point) const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 signals:
  void componentDoubleClicked(const QByteArray& componentPath);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  struct Segment {
    QString label;
    QRectF rect;
  };
  // Lays the segments out for the current width when it changed.
  void ensureLayout() const;
  void layoutSegments() const;
  double segmentWidth(const QString& label) const;
  double separatorWidth() const;

  QByteArray path_;
  bool isDirectory_ = false;
  QList<QByteArray> components_;
  mutable QList<Segment> segments_;
  mutable int laidOutWidth_ = -1;
};

}  // namespace ui
