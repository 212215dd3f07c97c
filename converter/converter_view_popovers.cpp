// The popovers beside their toggle buttons, the curves panel and the side
// windows around a session.
#include <QLabel>
#include <utility>

#include "converter/converter_view.h"
#include "platform/ui/custom_button.h"
#include "platform/ui/popover.h"

namespace velumar {

ui::CustomButton* ConverterView::makePopover(PopoverId id, const char* title, QWidget* content) {
  auto* button = new ui::CustomButton(QString::fromUtf8(title));
  button->setFrames({5, 5, 90, 30}, {10, 10, 80, 20});
  auto* shown = new ui::Popover(content, this);
  shown->setObjectName(QStringLiteral("popover%1").arg(int(id)));
  shown->attachToButton(button);
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
  if (state_.isProcessingImages || !previewWindow_) return;
  if (!previewWindow_->isVisible()) updatePreviewViewAndUpdateText(true, true, false);
  previewWindow_->show();
  previewWindow_->raise();
  previewWindow_->activateWindow();
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
