#pragma once
// Keeps a panel's drawn background current: redrawn when the window moves
// to a screen of another pixel ratio, and once a resize has ended.

#include <QObject>
#include <QTimer>
#include <functional>

class QWidget;

namespace velumar {

class PanelController : public QObject {
  Q_OBJECT

 public:
  // updateBackground drops the cached background and repaints.
  PanelController(QWidget* window, std::function<void()> updateBackground);

  // The quiet time after the last resize step that ends a resize.
  static constexpr int kResizeEndMs = 200;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* window_;
  std::function<void()> updateBackground_;
  qreal devicePixelRatio_;
  QTimer resizeEnd_;
};

}  // namespace velumar
