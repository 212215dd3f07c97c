#include "app/panel_controller.h"

#include <QEvent>
#include <QWidget>

namespace velumar {

PanelController::PanelController(QWidget* window, std::function<void()> updateBackground)
    : QObject(window),
      window_(window),
      updateBackground_(std::move(updateBackground)),
      devicePixelRatio_(window->devicePixelRatioF()) {
  resizeEnd_.setSingleShot(true);
  resizeEnd_.setInterval(kResizeEndMs);
  connect(&resizeEnd_, &QTimer::timeout, this, [this] { updateBackground_(); });
  window->installEventFilter(this);
}

bool PanelController::eventFilter(QObject* watched, QEvent* event) {
  if (watched != window_) return false;
  if (event->type() == QEvent::ScreenChangeInternal) {
    const qreal ratio = window_->devicePixelRatioF();
    if (ratio != devicePixelRatio_) {
      devicePixelRatio_ = ratio;
      updateBackground_();
    }
  } else if (event->type() == QEvent::Resize) {
    resizeEnd_.start();
  }
  return false;
}

}  // namespace velumar
