// The popovers beside their toggle buttons, the curves panel and the side
// windows around a session.
#include <QLabel>

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

void ConverterView::closeAllPopoversOnlyAlpha(bool onlyAlpha) {
  using P = PopoverId;
  closePopovers(
      {P::SaveTo, P::FaceOptions, P::CompositeOptions, P::TransformOptions, P::Depth, P::TinyPlanet, P::LUT});
  if (curvesPanel_ && curvesPanel_->isVisible()) curvesPanel_->close();
  if (!onlyAlpha && presetsWindow_ && presetsWindow_->isVisible()) presetsWindow_->hide();
}

void ConverterView::verifyVisibleWindows() {
  presetsWindowIsVisible_ = presetsWindow_ && presetsWindow_->isVisible();
}

void ConverterView::restoreVisibleWindows() {
  // Nothing comes back into a hidden application.
  if (presetsWindowIsVisible_ && presetsWindow_ && !isApplicationHidden()) {
    presetsWindow_->show();
    presetsWindow_->raise();
  }
  presetsWindowIsVisible_ = false;
}

}  // namespace velumar
