#pragma once
// The small custom-drawn views of the windows, sheets and panels: dark
// rounded backgrounds, the white button bar, sheets, the panel and preview
// backgrounds and the blue separator line. Colours are calibrated RGB on a
// 0 to 1 scale; radii and widths in points.

#include <QRectF>
#include <QWidget>

class QAbstractButton;
class QPainter;

namespace ui {

// The drawings, each in the view's own (y-down) coordinates.
// Rounded (8) dark gradient from (0.192, 0.9) at the top to black 0.9,
// outlined in black 0.9 at width 2.
void drawDarkBackground(QPainter& painter, const QRectF& bounds);
// Rounded (8) white at 0.8, outlined in black at width 3.
void drawButtonsBar(QPainter& painter, const QRectF& bounds);
// Rounded (8), black at 0.9.
void drawSheetBackground(QPainter& painter, const QRectF& bounds);
// Square top corners, bottom corners rounded (8), black at 0.9.
void drawProcessSheetBackground(QPainter& painter, const QRectF& bounds);
// (0.18, 0.17, 0.18).
void drawProcessPreviewBackground(QPainter& painter, const QRectF& bounds);
// (0.163, 0.163, 0.163).
void drawPanelBackground(QPainter& painter, const QRectF& bounds);
// A vertical line through the middle from 1 point below the top to 1
// point above the bottom, (0, 0.62, 0.89, 0.8) at width 3, round caps.
void drawSeparatorLine(QPainter& painter, const QRectF& bounds);

// A view whose only drawing is one of the above.
class PaintedView : public QWidget {
 public:
  using Drawing = void (*)(QPainter&, const QRectF&);
  explicit PaintedView(Drawing drawing, QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Drawing drawing_;
};

template <PaintedView::Drawing drawing>
class DrawnView : public PaintedView {
 public:
  explicit DrawnView(QWidget* parent = nullptr) : PaintedView(drawing, parent) {}
};
using DarkBackgroundView = DrawnView<drawDarkBackground>;
using CustomButtonsView = DrawnView<drawButtonsBar>;
using CustomSheetView = DrawnView<drawSheetBackground>;
using CustomProcessSheetView = DrawnView<drawProcessSheetBackground>;
using CustomProcessPreviewView = DrawnView<drawProcessPreviewBackground>;
using PanelBackgroundView = DrawnView<drawPanelBackground>;
using CustomLineView = DrawnView<drawSeparatorLine>;

// The window background: the platform's own drawing (the desktop's window
// colour); it keeps no cached layer.
class BackgroundView : public QWidget {
 public:
  explicit BackgroundView(QWidget* parent = nullptr);
};

// A button that signals pressing by dimming itself: alpha 0.5 while held
// down, 0.8 otherwise; it draws no highlight of its own.
void dimWhilePressed(QAbstractButton* button);

}  // namespace ui
