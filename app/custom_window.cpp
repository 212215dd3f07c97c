#include "app/custom_window.h"

#include <QMouseEvent>
#include <QWindow>

namespace velumar {

CustomWindow::CustomWindow(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
  setAttribute(Qt::WA_TranslucentBackground);
  setAttribute(Qt::WA_QuitOnClose, false);
  setWindowOpacity(1.0);
}

void CustomWindow::mousePressEvent(QMouseEvent* event) {
  // Presses on child controls reach them; only the background moves.
  if (event->button() == Qt::LeftButton && windowHandle() && windowHandle()->startSystemMove()) {
    event->accept();
    return;
  }
  QWidget::mousePressEvent(event);
}

}  // namespace velumar
