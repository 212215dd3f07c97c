// The converter's live preview: requests from the controls go to the
// renderer, whose jobs are made from the controls model.
#include "converter/converter_view.h"
#include "converter/live_preview_renderer.h"
#include "converter/live_preview_request.h"
#include "converter/preview_live_preview_target.h"

namespace velumar {

std::unique_ptr<LivePreviewRenderer> ConverterView::makeLivePreviewRenderer() {
  return std::make_unique<LivePreviewRenderer>([this](LivePreviewTarget& target, bool controlFilterValues) {
    return makeLivePreviewJob(*form_, target, controlFilterValues);
  });
}

void ConverterView::updateImagePreviewForImage(bool controlFilterValues) {
  // Controls may ask while the view is still being built.
  if (livePreview_) livePreview_->requestRender(controlFilterValues);
}

void ConverterView::setLivePreviewTarget(LivePreviewTarget* target) {
  livePreview_->setTarget(target);
}

void ConverterView::setPreviewImageView(PreviewImageView* view) {
  livePreview_->setTarget(nullptr);
  newPreviewImageObserver_.reset();
  previewTarget_ = view ? std::make_unique<PreviewLivePreviewTarget>(*view) : nullptr;
  livePreview_->setTarget(previewTarget_.get());
  if (view)
    newPreviewImageObserver_ = foundation::NotificationCenter::defaultCenter().addObserver(
        "previewNewImageFromDragAndDrop",
        [this](const foundation::Notification&) { updateImagePreviewForImage(true); });
}

ui::HoldDownPreview* ConverterView::holdDownPreview() const {
  return previewTarget_.get();
}

}  // namespace velumar
