#pragma once
// The processing sheet: a window-modal dialog over the converter window
// while a batch runs. It shows the processing-state model (labels placed at
// their y-up origins, the counter, the cancel and image buttons) and the
// progress model, on the bar and on the desktop's task bar.

#include <QDialog>

#include "converter/taskbar_progress.h"
#include "session/processing_display.h"

class QLabel;

namespace ui {
class CustomButton;
}

namespace velumar {

class PBProgressIndicator;

class ProcessingSheet : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kWidth = 320;
  static constexpr int kHeight = 200;

  ProcessingSheet(ConverterState& state, QWidget* parent);

  // Opens or ends the sheet and shows the model's labels and buttons.
  void showDisplay(const ProcessingDisplay& display);
  // The progress model on the bar and the task bar.
  void showProgress();

  QLabel* processingLabel() const { return processingLabel_; }
  QLabel* filesCountLabel() const { return filesCountLabel_; }
  ui::CustomButton* cancelButton() const { return cancelButton_; }
  ui::CustomButton* imageButton() const { return imageButton_; }
  PBProgressIndicator* progressIndicator() const { return progressIndicator_; }
  const TaskbarProgress& taskbar() const { return taskbar_; }
  // A child's origin from the sheet's lower-left corner, y up.
  QPointF yUpOrigin(const QWidget* child) const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  ConverterState& state_;
  QLabel* processingLabel_;
  QLabel* filesCountLabel_;
  ui::CustomButton* cancelButton_;
  ui::CustomButton* imageButton_;
  PBProgressIndicator* progressIndicator_;
  TaskbarProgress taskbar_;
};

}  // namespace velumar
