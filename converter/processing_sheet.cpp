#include "converter/processing_sheet.h"

#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QShowEvent>
#include <QWindow>
#include <algorithm>
#include <cmath>

#include "converter/progress_indicator.h"
#include "platform/raster/image_set.h"
#include "platform/ui/custom_button.h"
#include "platform/ui/custom_views.h"
#include "platform/ui/flipped_coordinates.h"
#include "platform/ui/popover.h"
#include "platform/ui/task_bar_skip.h"
#include "platform/ui/view_alpha.h"
#include "preview/preview_picture.h"

namespace velumar {

namespace {

constexpr QSizeF kProcessingLabelSize{200, 20};
constexpr QSizeF kFilesCountLabelSize{260, 20};

void place(QWidget* widget, raster::Point yUpOrigin, QSizeF size) {
  widget->setGeometry(
      ui::flippedRect({yUpOrigin.x, yUpOrigin.y, size.width(), size.height()}, ProcessingSheet::kHeight)
          .toRect());
}

void showButton(ui::CustomButton* button, const DisplayButton& model) {
  button->setEnabled(model.enabled);
  button->setVisible(!model.hidden);
  button->setChecked(model.state != 0);
  ui::setViewAlpha(button, model.alpha);
}

}  // namespace

ProcessingSheet::ProcessingSheet(ConverterState& state, QWidget* parent)
    : QDialog(parent),
      state_(state),
      processingLabel_(new QLabel(QStringLiteral("Processing images…"), this)),
      filesCountLabel_(new QLabel(this)),
      cancelButton_(new ui::CustomButton(QStringLiteral("Cancel"), this)),
      imageButton_(new ui::CustomButton(QStringLiteral("Preview"), this)),
      progressIndicator_(new PBProgressIndicator(this)),
      imageView_(new QLabel),
      imagePopover_(new ui::Popover(imageView_, this)) {
  setObjectName(QStringLiteral("processingSheet"));
  setWindowModality(Qt::WindowModal);
  // A title without buttons: the window manager then offers no close
  // function (_MOTIF_WM_HINTS), nor a close button or Alt+F4.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setFixedSize(kWidth, kHeight);
  setAttribute(Qt::WA_TranslucentBackground);
  processingLabel_->setObjectName(QStringLiteral("processingLabel"));
  filesCountLabel_->setObjectName(QStringLiteral("processingFilesCountLabel"));
  filesCountLabel_->setAlignment(Qt::AlignCenter);
  for (QLabel* label : {processingLabel_, filesCountLabel_}) {
    label->setStyleSheet(QStringLiteral("color: white"));
    label->hide();
  }
  cancelButton_->setObjectName(QStringLiteral("cancelProgressButton"));
  imageButton_->setObjectName(QStringLiteral("popOverImageButton"));
  for (ui::CustomButton* button : {cancelButton_, imageButton_}) {
    button->setCheckable(true);
    button->setFrames({5, 5, 90, 30}, {10, 10, 80, 20});
    button->hide();
  }
  cancelButton_->move(kWidth - 110, kHeight - 45);
  imageButton_->move(10, kHeight - 45);
  // The cancel button asks the running batch to stop after its current
  // image; the batch reads the flag.
  connect(cancelButton_, &QAbstractButton::clicked, this, [this] {
    if (cancelButton_->isChecked()) state_.progressBar.cancelProgress = true;
  });
  connect(imageButton_, &QAbstractButton::clicked, this, &ProcessingSheet::hideShowPopoverImageFromButton);
  imageView_->setObjectName(QStringLiteral("imageView"));
  imageView_->setAlignment(Qt::AlignCenter);
  imagePopover_->setObjectName(QStringLiteral("popOverImageView"));
  // Below the title and the counter of a batch of several files, above
  // the buttons.
  progressIndicator_->setGeometry((kWidth - 235) / 2, 101, 235, 42);
}

QPointF ProcessingSheet::yUpOrigin(const QWidget* child) const {
  return {double(child->x()), double(height() - child->y() - child->height())};
}

void ProcessingSheet::showDisplay(const ProcessingDisplay& display) {
  place(processingLabel_, display.processingLabel.origin, kProcessingLabelSize);
  processingLabel_->setVisible(!display.processingLabel.hidden);
  place(filesCountLabel_, display.filesCountLabel.origin, kFilesCountLabelSize);
  filesCountLabel_->setVisible(!display.filesCountLabel.hidden);
  filesCountLabel_->setText(QString::fromStdString(display.filesCountText));
  // The bar belongs to a batch of several files; a single file's title
  // sits where it would be.
  progressIndicator_->setVisible(!display.filesCountLabel.hidden);
  showButton(cancelButton_, display.cancelButton);
  if (shownImageButton_ != display.imageButton) {
    showButton(imageButton_, display.imageButton);
    shownImageButton_ = display.imageButton;
  }
  if (display.sheetShown && !isVisible()) {
    open();
  } else if (!display.sheetShown && isVisible()) {
    imagePopover_->hide();
    done(QDialog::Accepted);
  }
}

void ProcessingSheet::showEvent(QShowEvent* event) {
  // Like a popover, the sheet is part of the converter window: out of the
  // task bar and the pager, marked before each mapping, when the window
  // manager reads it.
  if (!event->spontaneous() && windowHandle()) ui::keepOutOfTaskBar(*windowHandle());
  QDialog::showEvent(event);
}

void ProcessingSheet::reject() {
  // Hiding the sheet would leave the batch running with no progress and no
  // cancel in view; showDisplay ends it when the batch ends.
}

void ProcessingSheet::hideShowPopoverImageFromButton() {
  if (!state_.openPreviewFromThread) {
    // Enabled again when the next converted image opens the popover.
    imageButton_->setEnabled(false);
    state_.openPreviewFromThread = true;
  } else if (imagePopover_->isVisible()) {
    state_.openPreviewFromThread = false;
    imagePopover_->hide();
    closeImageView();
  } else {
    imagePopover_->showRelativeTo(this);
  }
  imageButton_->setChecked(state_.openPreviewFromThread);
}

void ProcessingSheet::openImageViewWithImage(const std::shared_ptr<const raster::ImageSet>& image) {
  if (!image || image->isEmpty() || !state_.openPreviewFromThread) return;
  const raster::ImageRef pixels = image->representations().front()->image();
  if (!pixels || pixels->width() == 0 || pixels->height() == 0) return;
  const double scale =
      std::min(1.0, double(kImageViewSide) / double(std::max(pixels->width(), pixels->height())));
  const QImage shown =
      drawnPreviewImage(pixels, std::max(1, int(std::lround(double(pixels->width()) * scale))),
                        std::max(1, int(std::lround(double(pixels->height()) * scale))));
  if (shown.isNull()) return;
  imageView_->setPixmap(QPixmap::fromImage(shown));
  if (!imagePopover_->isVisible()) {
    imagePopover_->showRelativeTo(this);
    imageButton_->setEnabled(true);
  }
}

void ProcessingSheet::closeImageView() {
  imageView_->clear();
}

void ProcessingSheet::closeImageViewFromApplication() {
  state_.openPreviewFromThread = false;
  imageButton_->setChecked(false);
  imageButton_->setEnabled(true);
  imagePopover_->hide();
  closeImageView();
}

void ProcessingSheet::showProgress() {
  const PBOscilator& progress = state_.progressBar;
  progressIndicator_->showModel(progress);
  if (progress.isAnimating()) {
    taskbar_.show(progress.barValue());
  } else {
    taskbar_.hide();
  }
}

void ProcessingSheet::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  ui::drawProcessSheetBackground(painter, rect());
}

}  // namespace velumar
