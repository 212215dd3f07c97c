#pragma once
// A scroll bar that draws its knob only: no track, no arrows, nothing
// behind it, so the view under it shows through.

#include <QScrollBar>

namespace ui {

class CustomScroller : public QScrollBar {
 public:
  explicit CustomScroller(Qt::Orientation orientation, QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace ui
