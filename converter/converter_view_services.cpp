// What the controls model asks of the window.
#include <QEventLoop>
#include <QMessageBox>
#include <QPushButton>

#include "converter/converter_view.h"
#include "session/output_names.h"

namespace velumar {

void ConverterView::updateFilterValuesForPreset(ConverterControls& controls, const ImageInfo& preset) {
  laterServices_.updateFilterValuesForPreset(controls, preset);
}

void ConverterView::changeFilterToExampleImageFrom(ConverterControls& controls) {
  laterServices_.changeFilterToExampleImageFrom(controls);
}

void ConverterView::addArrayValuesToFilterValuesAndUpdateUndo(ConverterControls& controls, bool undo) {
  laterServices_.addArrayValuesToFilterValuesAndUpdateUndo(controls, undo);
}

void ConverterView::updateApplicationsForOpenWithMenu() {
  laterServices_.updateApplicationsForOpenWithMenu();
}

void ConverterView::updatePreviewViewAndUpdateText(bool updateText, bool updateImage, bool controlVisible) {
  laterServices_.updatePreviewViewAndUpdateText(updateText, updateImage, controlVisible);
}

void ConverterView::updateFontPanel(const TextFont& font, const raster::TextAttributes& attributes) {
  laterServices_.updateFontPanel(font, attributes);
}

void ConverterView::refreshLivePreview() {
  laterServices_.refreshLivePreview();
}

std::string ConverterView::exampleName() {
  return updateStringForExample(*this, "filename.jpg");
}

bool ConverterView::confirm(const std::string& message, const std::string& informativeText) {
  // The caller waits for the answer; the question is window-modal.
  QMessageBox question(QMessageBox::Question, qText(message), qText(message), QMessageBox::NoButton,
                       window());
  question.setInformativeText(qText(informativeText));
  QAbstractButton* ok = question.addButton(QStringLiteral("Ok"), QMessageBox::AcceptRole);
  question.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
  question.setWindowModality(Qt::WindowModal);
  QEventLoop waiting;
  connect(&question, &QDialog::finished, &waiting, &QEventLoop::quit);
  question.open();
  waiting.exec();
  return question.clickedButton() == ok;
}

std::shared_ptr<raster::ImageSet> ConverterView::loadImage(const std::string& path) {
  return laterServices_.loadImage(path);
}

}  // namespace velumar
