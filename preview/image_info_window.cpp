#include "preview/image_info_window.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>

#include "preview/image_info_text.h"

namespace velumar {

namespace {

QLabel* column(Qt::Alignment alignment, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setAlignment(alignment | Qt::AlignTop);
  label->setTextFormat(Qt::PlainText);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return label;
}

QString withoutLastLineFeed(const std::string& text) {
  QString result = QString::fromStdString(text);
  if (result.endsWith('\n')) result.chop(1);
  return result;
}

}  // namespace

ImageInfoWindow::ImageInfoWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setWindowTitle(tr("Image Info"));
  auto* content = new QWidget();
  infoImageText_ = column(Qt::AlignRight, content);
  infoImageValues_ = column(Qt::AlignLeft, content);
  infoImageTextAux_ = column(Qt::AlignRight, content);
  infoImageValuesAux_ = column(Qt::AlignLeft, content);
  auto* columns = new QHBoxLayout(content);
  columns->addWidget(infoImageText_);
  columns->addWidget(infoImageValues_, 1);
  columns->addSpacing(16);
  columns->addWidget(infoImageTextAux_);
  columns->addWidget(infoImageValuesAux_, 1);
  scrollArea_ = new QScrollArea(this);
  scrollArea_->setWidget(content);
  scrollArea_->setWidgetResizable(true);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(scrollArea_);
  resize(760, 420);
  updateImageInfoValuesWithDictionary(nullptr);
  observer_ = foundation::NotificationCenter::defaultCenter().addObserver(
      "previewNewImageFromDragAndDrop", [this](const foundation::Notification& notification) {
        const foundation::Value& information = notification.userInfo;
        updateImageInfoValuesWithDictionary(information.isDictionary() ? &information : nullptr);
      });
}

void ImageInfoWindow::updateImageInfoValuesWithDictionary(const foundation::Value* information) {
  const ImageInfoColumn file = fileInformationColumn(information);
  infoImageText_->setText(withoutLastLineFeed(file.labels));
  infoImageValues_->setText(withoutLastLineFeed(file.values));
  infoImageTextAux_->setText(withoutLastLineFeed(cameraInformationLabels()));
  const foundation::Value empty{foundation::Dictionary{}};
  infoImageValuesAux_->setText(
      withoutLastLineFeed(cameraInformationValues(information ? *information : empty)));
  scrollArea_->verticalScrollBar()->setValue(0);
}

void ImageInfoWindow::bringForward() {
  if (isVisible() && isActiveWindow()) return;
  show();
  raise();
  activateWindow();
}

QString ImageInfoWindow::fileLabels() const {
  return infoImageText_->text();
}
QString ImageInfoWindow::fileValues() const {
  return infoImageValues_->text();
}
QString ImageInfoWindow::cameraLabels() const {
  return infoImageTextAux_->text();
}
QString ImageInfoWindow::cameraValues() const {
  return infoImageValuesAux_->text();
}

}  // namespace velumar
