#include "platform/ui/color_well.h"

#include <QColorDialog>
#include <QPainter>
#include <QPointer>

namespace ui {

namespace {
// The well the shared dialog is working for now.
QPointer<ColorWell> gActiveWell;
}  // namespace

ColorWell::ColorWell(QWidget* parent) : QAbstractButton(parent) {
  connect(this, &QAbstractButton::clicked, this, &ColorWell::openDialog);
}

ColorWell::~ColorWell() = default;

void ColorWell::setColor(const QColor& color) {
  if (!color.isValid()) return;
  color_ = color;
  update();
}

QColorDialog& ColorWell::sharedColorDialog() {
  static QColorDialog* dialog = [] {
    auto* made = new QColorDialog;
    made->setOption(QColorDialog::ShowAlphaChannel);
    QObject::connect(made, &QColorDialog::colorSelected, [](const QColor& color) {
      if (!gActiveWell || !gActiveWell->isEnabled()) return;
      gActiveWell->setColor(color);
      emit gActiveWell->colorChosen(color);
    });
    return made;
  }();
  return *dialog;
}

void ColorWell::openDialog() {
  gActiveWell = this;
  QColorDialog& dialog = sharedColorDialog();
  dialog.setCurrentColor(color_);
  dialog.show();
  dialog.raise();
}

void ColorWell::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRectF frame = QRectF(rect()).adjusted(1, 1, -1, -1);
  painter.fillRect(frame, QColor(60, 60, 60));
  const QRectF swatch = frame.adjusted(4, 4, -4, -4);
  // Translucent colours over a checkerboard, so their alpha shows.
  painter.fillRect(swatch, QBrush(Qt::white));
  painter.fillRect(swatch, QBrush(Qt::lightGray, Qt::Dense4Pattern));
  painter.fillRect(swatch, color_);
  painter.setPen(isEnabled() ? QColor(20, 20, 20) : QColor(90, 90, 90));
  painter.drawRect(frame);
  if (!isEnabled()) painter.fillRect(frame, QColor(49, 49, 49, 140));
}

}  // namespace ui
