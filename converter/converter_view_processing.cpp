// The converter as a session sees it: settings and rename switches, the
// processing display and the window steps of a run. Steps whose windows
// are not built yet are logged and do nothing.
#include <QEventLoop>
#include <QFileDialog>
#include <QMessageBox>

#include "converter/converter_view.h"
#include "converter/drop_zone_widget.h"
#include "converter/preview_link.h"
#include "platform/foundation/log.h"

namespace velumar {

ImageModifyInfo ConverterView::readCurrentPresetValues() {
  // The read normalises the option fields; the widgets show the result.
  ImageModifyInfo info = form_->readCurrentPresetValues();
  refreshControls();
  return info;
}

RenameInfo ConverterView::setupRenameInfo() {
  return form_->setupRenameInfo();
}

void ConverterView::removePresetsButtonFromViewMultipleFiles(bool multipleFiles) {
  foundation::log("Converter: processing display for {} file(s) not built yet",
                  multipleFiles ? "several" : "one");
}

void ConverterView::addPresetsButtonFromView() {
  drawNoDragAndDrop();
}

void ConverterView::startProgressBar() {
  state_.progressBar.start(true);
}

void ConverterView::updateProgressBarWithCurrentImageCount(std::int64_t, std::int64_t) {
  state_.progressBar.updatePBOscilatorStatus();
}

void ConverterView::showFilesCount(std::int64_t current, std::int64_t total) {
  dropZone_->setText(QStringLiteral("%1 / %2").arg(current).arg(total));
}

void ConverterView::stopProgressBar() {
  state_.progressBar.start(false);
  dropZone_->setText(QStringLiteral("Drop Images Here"));
}

void ConverterView::openImageViewWithImage(const std::shared_ptr<const raster::ImageSet>&) {
  foundation::log("Converter: image view not built yet");
}

void ConverterView::closeImageView() {}

void ConverterView::activateAppWindow() {
  QWidget* top = window();
  top->show();
  top->raise();
  top->activateWindow();
}

void ConverterView::showAlertSheet(const std::string& message, const std::string& informativeText) {
  auto* alert = new QMessageBox(QMessageBox::Warning, QString::fromStdString(message),
                                QString::fromStdString(message), QMessageBox::Ok, window());
  alert->setInformativeText(QString::fromStdString(informativeText));
  alert->setObjectName(QStringLiteral("alertSheet"));
  alert->setWindowModality(Qt::WindowModal);
  alert->setAttribute(Qt::WA_DeleteOnClose);
  alert->open();
}

std::optional<std::string> ConverterView::chooseDestinationFolder(const FolderChooserTexts& texts) {
  // The session waits for the answer; the dialog stays window-modal so the
  // rest of the application keeps running meanwhile.
  QFileDialog dialog(window(), QString::fromStdString(texts.title));
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  dialog.setLabelText(QFileDialog::Accept, QString::fromStdString(texts.prompt));
  dialog.setLabelText(QFileDialog::LookIn, QString::fromStdString(texts.message));
  dialog.setWindowModality(Qt::WindowModal);
  QEventLoop waiting;
  connect(&dialog, &QDialog::finished, &waiting, &QEventLoop::quit);
  dialog.open();
  waiting.exec();
  if (dialog.result() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  const QByteArray path = QFile::encodeName(dialog.selectedFiles().front());
  return std::string(path.constData(), std::size_t(path.size()));
}

void ConverterView::hideApplication() {
  window()->showMinimized();
}

bool ConverterView::isApplicationHidden() {
  return window()->isMinimized() || !window()->isVisible();
}

bool ConverterView::isConverterWindowVisible() {
  return window()->isVisible() && !window()->isMinimized();
}

void ConverterView::setPreviewCanAcceptImages(bool accept) {
  if (previewLink_) previewLink_->setProcessing(!accept);
}

std::optional<std::string> ConverterView::previewShownFile() {
  return previewLink_ ? previewLink_->shownFile() : std::nullopt;
}

std::vector<std::string> ConverterView::previewListedFiles() {
  return previewLink_ ? previewLink_->listedFiles() : std::vector<std::string>();
}

}  // namespace velumar
