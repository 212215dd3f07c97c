#pragma once
// The processing sheet: a window-modal dialog over the converter window
// while a batch runs. It shows the processing-state model (labels placed at
// their y-up origins, the counter, the cancel and image buttons) and the
// progress model, on the bar and on the desktop's task bar. Beside the
// sheet (never over its buttons), a popover shows the batch's
// just-converted images on request. Like the popovers, it stays out of the
// task bar and the pager. It has no close control: the window manager
// offers none, and its close request and Escape leave the sheet shown; it
// ends with its batch, which the cancel button stops.

#include <QDialog>
#include <memory>
#include <optional>

#include "converter/taskbar_progress.h"
#include "session/processing_display.h"

class QLabel;

namespace raster {
class ImageSet;
}

namespace ui {
class CustomButton;
class Popover;
}  // namespace ui

namespace velumar {

class PBProgressIndicator;

class ProcessingSheet : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kWidth = 320;
  static constexpr int kHeight = 200;
  // The longest side of an image in the popover; smaller ones keep their size.
  static constexpr int kImageViewSide = 400;

  ProcessingSheet(ConverterState& state, QWidget* parent);

  // Opens or ends the sheet and shows the model's labels and buttons.
  void showDisplay(const ProcessingDisplay& display);
  // The progress model on the bar and the task bar.
  void showProgress();

  // A just-converted image: shown, and the popover opened beside the image
  // button, when the user asked for it (openPreviewFromThread).
  void openImageViewWithImage(const std::shared_ptr<const raster::ImageSet>& image);
  // Empties the popover's image.
  void closeImageView();
  // The application deactivates or hides: the request ends, the popover closes.
  void closeImageViewFromApplication();

  QLabel* processingLabel() const { return processingLabel_; }
  QLabel* filesCountLabel() const { return filesCountLabel_; }
  ui::CustomButton* cancelButton() const { return cancelButton_; }
  ui::CustomButton* imageButton() const { return imageButton_; }
  PBProgressIndicator* progressIndicator() const { return progressIndicator_; }
  ui::Popover* imagePopover() const { return imagePopover_; }
  QLabel* imageView() const { return imageView_; }
  const TaskbarProgress& taskbar() const { return taskbar_; }
  // A child's origin from the sheet's lower-left corner, y up.
  QPointF yUpOrigin(const QWidget* child) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  // Escape and the window manager's close request both end here: ignored.
  void reject() override;

 private:
  // The image button: the first click asks for the next image, later ones
  // close the popover (ending the request) or bring it back.
  void hideShowPopoverImageFromButton();

  ConverterState& state_;
  QLabel* processingLabel_;
  QLabel* filesCountLabel_;
  ui::CustomButton* cancelButton_;
  ui::CustomButton* imageButton_;
  PBProgressIndicator* progressIndicator_;
  QLabel* imageView_;
  ui::Popover* imagePopover_;
  // The image button's model as last applied: the button keeps its own
  // state between the model's changes.
  std::optional<DisplayButton> shownImageButton_;
  TaskbarProgress taskbar_;
};

}  // namespace velumar
