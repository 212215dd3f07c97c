// The popovers beside their toggle buttons, the curves panel and the side
// windows around a session.
#include <QEvent>
#include <QAbstractButton>
#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <QWindow>
#include <utility>

#include "converter/converter_view.h"
#include "platform/ui/custom_button.h"
#include "platform/ui/popover.h"

namespace velumar {

namespace {

// Closes a popover whose window was taken off the screen by someone else
// (a window manager hides the tool windows of an application it thinks
// inactive): the popover then counts as closed, its button is off, and the
// next click on the button opens it instead of closing an unseen popover.
class UnmappedPopoverCloser : public QObject {
 public:
  explicit UnmappedPopoverCloser(ui::Popover* popover) : QObject(popover), popover_(popover) {
    popover->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    QWindow* window = popover_ ? popover_->windowHandle() : nullptr;
    if (watched == popover_ && event->type() == QEvent::Show && window) {
      window->installEventFilter(this);
      exposedSinceShown_ = false;
    }
    if (watched != window || event->type() != QEvent::Expose) return QObject::eventFilter(watched, event);
    // Only a window that was on the screen since it was shown counts: the
    // unmapping of an earlier close may still be on its way.
    if (window->isExposed()) {
      exposedSinceShown_ = true;
    } else if (exposedSinceShown_ && popover_->isVisible()) {
      exposedSinceShown_ = false;
      QTimer::singleShot(0, popover_, [popover = popover_] {
        if (popover && popover->isVisible() && popover->windowHandle() &&
            !popover->windowHandle()->isExposed())
          popover->close();
      });
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  // Held as a plain widget: the filter still sees events while the popover
  // is being destroyed, when it is no longer a Popover.
  QPointer<QWidget> popover_;
  bool exposedSinceShown_ = false;
};

}  // namespace

ui::CustomButton* ConverterView::makePopover(PopoverId id, const char* title, QWidget* content) {
  auto* button = new ui::CustomButton(QString::fromUtf8(title));
  button->setFrames({5, 5, 90, 30}, {10, 10, 80, 20});
  auto* shown = new ui::Popover(content, this);
  shown->setObjectName(QStringLiteral("popover%1").arg(int(id)));
  shown->attachToButton(button);
  new UnmappedPopoverCloser(shown);
  popovers_[std::size_t(id)] = shown;
  return button;
}

void ConverterView::closePopovers(std::initializer_list<PopoverId> ids) {
  for (PopoverId id : ids)
    if (ui::Popover* shown = popover(id); shown && shown->isVisible()) shown->close();
}

void ConverterView::closeAllOptionsPopovers() {
  FilterSlots& filterSlots = form_->controls.filterSlots;
  for (std::size_t slot = 0; slot < kFilterSlotCount; ++slot) {
    filterSlots.popoverShown[slot] = false;
    filterSlots.optionsButtonArray[slot].on = false;
  }
  refreshControls();
}

void ConverterView::closeAllPopoversOnlyAlpha(bool onlyAlpha) {
  using P = PopoverId;
  closeAllOptionsPopovers();
  if (preferencesPanel_ && preferencesPanel_->isVisible()) preferencesPanel_->hide();
  closePopovers(
      {P::SaveTo, P::FaceOptions, P::CompositeOptions, P::TransformOptions, P::Depth, P::TinyPlanet, P::LUT});
  if (curvesPanel_ && curvesPanel_->isVisible()) curvesPanel_->close();
  if (!onlyAlpha) {
    for (QWidget* side : {presetsWindow_.data(), infoWindow_.data(), filesWindow_.data()})
      if (side && side->isVisible()) side->hide();
  }
  hideFontPanel();
}

void ConverterView::openFontPanel() const {
  if (fontPanelOpener_) fontPanelOpener_();
}

void ConverterView::hideFontPanel() const {
  if (fontPanelHider_) fontPanelHider_();
}

void ConverterView::openClosePreviewWithActivationFrom() {
  if (state_.isProcessingImages) return;
  makeKeyPreviewAfterActivation();
}

void ConverterView::makeKeyPreviewAfterActivation() {
  if (!previewWindow_) return;
  if (!previewWindow_->isVisible()) updatePreviewViewAndUpdateText(true, true, false);
  previewWindow_->show();
  previewWindow_->raise();
  previewWindow_->activateWindow();
}

void ConverterView::updateImagePreviewTransformFrom(QAbstractButton* sender) {
  if (sender) sender->setChecked(false);
  if (state_.isProcessingImages) return;
  refreshLivePreview();
  if (!previewWindow_) return;
  const bool wasVisible = previewWindow_->isVisible();
  if (!wasVisible) updatePreviewViewAndUpdateText(true, true, false);
  previewWindow_->show();
  previewWindow_->raise();
  if (!wasVisible) previewWindow_->activateWindow();
}

void ConverterView::openCloseWatermarkPreviewFrom(QAbstractButton* sender) {
  if (sender) sender->setChecked(false);
  if (!state_.isProcessingImages) makeKeyPreviewAfterActivation();
}

void ConverterView::verifyVisibleWindows() {
  presetsWindowIsVisible_ = presetsWindow_ && presetsWindow_->isVisible();
  infoWindowIsVisible_ = infoWindow_ && infoWindow_->isVisible();
  previewWindowIsVisible_ = previewWindow_ && previewWindow_->isVisible();
  filesWindowIsVisible_ = filesWindow_ && filesWindow_->isVisible();
}

void ConverterView::restoreVisibleWindows() {
  // Nothing comes back into a hidden application; the files window last, as
  // the active one.
  if (!isApplicationHidden()) {
    for (const auto& [window, wasVisible] : {std::pair(presetsWindow_, presetsWindowIsVisible_),
                                             std::pair(infoWindow_, infoWindowIsVisible_),
                                             std::pair(previewWindow_, previewWindowIsVisible_),
                                             std::pair(filesWindow_, filesWindowIsVisible_)}) {
      if (!wasVisible || !window) continue;
      window->show();
      window->raise();
    }
    if (filesWindowIsVisible_ && filesWindow_) filesWindow_->activateWindow();
  }
  presetsWindowIsVisible_ = infoWindowIsVisible_ = previewWindowIsVisible_ = filesWindowIsVisible_ = false;
}

}  // namespace velumar
