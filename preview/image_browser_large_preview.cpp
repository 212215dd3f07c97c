#include "preview/image_browser_large_preview.h"

#include <QFile>
#include <QKeyEvent>
#include <QPainter>

#include "platform/foundation/main_loop.h"
#include "platform/foundation/serial_queue.h"
#include "preview/image_browser_model.h"
#include "preview/thumbnail_job.h"

namespace velumar {

LargePreviewWindow::LargePreviewWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), queue_(std::make_unique<foundation::SerialQueue>("large preview")) {
  resize(800, 600);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, QColor::fromRgbF(0.192f, 0.192f, 0.192f));
  setPalette(palette);
  setAutoFillBackground(true);
}

LargePreviewWindow::~LargePreviewWindow() = default;

void LargePreviewWindow::showFile(const std::string& path) {
  path_ = path;
  picture_ = QImage();
  setWindowTitle(QFile::decodeName(path.c_str()).section('/', -1));
  show();
  raise();
  activateWindow();
  update();
  queue_->async([path, alive = std::weak_ptr<char>(alive_), this] {
    const Thumbnail large = makeThumbnail(path, desktop::ThumbnailSize::XXLarge, nullptr);
    foundation::MainLoop::post([large, path, alive, this] {
      if (!alive.lock() || path != path_) return;
      picture_ = qImageForThumbnail(large);
      update();
      emit pictureLoaded();
    });
  });
}

void LargePreviewWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Space) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

void LargePreviewWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (picture_.isNull()) return;
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  QSizeF size = picture_.size();
  size.scale(QSizeF(rect().size()), Qt::KeepAspectRatio);
  const QRectF target(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), size);
  painter.drawImage(target, picture_);
}

}  // namespace velumar
