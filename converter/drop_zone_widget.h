#pragma once
// The drop zone's face: a flat fill that lights up in the accent colour
// while an acceptable drag is over the window.

#include <QColor>
#include <QWidget>

namespace velumar {

class DropZoneWidget : public QWidget {
  Q_OBJECT

 public:
  explicit DropZoneWidget(QWidget* parent = nullptr);

  void setHighlighted(bool on);
  bool isHighlighted() const { return highlighted_; }
  // The fill at rest, and under a drag (drawn over the window's background).
  static QColor normalColor();
  static QColor dragColor();
  // Drawn subdued while the application is not the active one.
  void setDimmed(bool on);
  bool isDimmed() const { return dimmed_; }

  QSize sizeHint() const override { return {520, 180}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  bool highlighted_ = false;
  bool dimmed_ = false;
};

}  // namespace velumar
