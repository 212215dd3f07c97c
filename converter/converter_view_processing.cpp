// The converter as a session sees it: settings and rename switches, the
// processing display (the processing sheet) and the window steps of a run.
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "converter/converter_view.h"
#include "converter/drop_zone_widget.h"
#include "converter/preview_link.h"
#include "converter/processing_sheet.h"
#include "platform/foundation/main_loop.h"
#include "platform/ui/custom_button.h"
#include "platform/ui/plain_text.h"
#include "platform/ui/popover.h"

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

// The display operations may be called from a session's queue: each does
// its work on the main thread and returns when it is done (at once when
// called on the main thread).
void ConverterView::removePresetsButtonFromViewMultipleFiles(bool multipleFiles) {
  foundation::MainLoop::runSync([&] {
    if (multipleFiles) {
      display_.removePresetsButtonAndAddProcessButtons(state_);
    } else {
      display_.removePresetsButton(state_);
    }
    showDisplayButtons();
    processingSheet()->showDisplay(display_);
  });
}

void ConverterView::showDisplayButtons() {
  for (const auto& [button, model] : {std::pair(presetsButton_, display_.presetsButton),
                                      std::pair(showPreviewMenuButton_, display_.previewMenuButton)}) {
    if (!button) continue;
    button->setEnabled(model.enabled);
    button->setVisible(!model.hidden);
  }
}

void ConverterView::addPresetsButtonFromView() {
  foundation::MainLoop::runSync([&] {
    display_.addPresetsButton(state_);
    showDisplayButtons();
    processingSheet()->showDisplay(display_);
    closeImageView();
    drawNoDragAndDrop();
  });
}

void ConverterView::startProgressBar() {
  foundation::MainLoop::runSync([&] {
    display_.startProgressBar(state_);
    processingSheet()->showProgress();
  });
}

void ConverterView::updateProgressBarWithCurrentImageCount(std::int64_t current, std::int64_t total) {
  foundation::MainLoop::runSync([&] {
    display_.updateProgressBar(state_, current, total);
    processingSheet()->showProgress();
    processingSheet()->showDisplay(display_);
  });
}

void ConverterView::showFilesCount(std::int64_t current, std::int64_t total) {
  foundation::MainLoop::runSync([&] {
    display_.setFilesCount(current, total);
    processingSheet()->showDisplay(display_);
  });
}

void ConverterView::stopProgressBar() {
  foundation::MainLoop::runSync([&] {
    display_.stopProgressBar(state_);
    processingSheet()->showProgress();
  });
}

ProcessingSheet* ConverterView::processingSheet() {
  if (!processingSheet_) processingSheet_ = new ProcessingSheet(state_, this);
  return processingSheet_;
}

void ConverterView::openImageViewWithImage(const std::shared_ptr<const raster::ImageSet>& image) {
  foundation::MainLoop::runSync([&] { processingSheet()->openImageViewWithImage(image); });
}

void ConverterView::closeImageView() {
  foundation::MainLoop::runSync([&] { processingSheet()->closeImageView(); });
}

void ConverterView::closeImageViewFromApplication() {
  processingSheet()->closeImageViewFromApplication();
}

void ConverterView::activateAppWindow() {
  QWidget* top = window();
  top->show();
  top->raise();
  top->activateWindow();
}

void ConverterView::showAlertSheet(const std::string& message, const std::string& informativeText) {
  // A session that ends in an alert may end before its display did: the
  // drop that started it is over either way.
  drawNoDragAndDrop();
  auto* alert =
      new QMessageBox(QMessageBox::Warning, QString::fromStdString(message), {}, QMessageBox::Ok, window());
  // They name files and folders.
  ui::setPlainTexts(*alert, QString::fromStdString(message), QString::fromStdString(informativeText));
  alert->setObjectName(QStringLiteral("alertSheet"));
  alert->setWindowModality(Qt::WindowModal);
  alert->setAttribute(Qt::WA_DeleteOnClose);
  alert->open();
}

std::optional<std::string> ConverterView::chooseDestinationFolder(const FolderChooserTexts& texts) {
  // The session waits for the answer; the dialog stays window-modal so the
  // rest of the application keeps running meanwhile. It opens where the
  // last choice was made, else in the stored output folder, else at home
  // (never in the process's working folder).
  static QString lastChosen;
  QString start = lastChosen;
  if (start.isEmpty() || !QFileInfo(start).isDir())
    start = QFile::decodeName(QByteArray::fromStdString(state_.fileURLForSaving));
  if (!QFileInfo(start).isAbsolute() || !QFileInfo(start).isDir()) start = QDir::homePath();
  // Asked for from the save-to popover, it belongs to that popover.
  QFileDialog dialog(ui::dialogParent(this), QString::fromStdString(texts.title), start);
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
  lastChosen = dialog.selectedFiles().front();
  const QByteArray path = QFile::encodeName(lastChosen);
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
