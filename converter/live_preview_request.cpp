#include "converter/live_preview_request.h"

#include "engine/imported_image.h"
#include "filters/cifiltering.h"
#include "presets/converter_form.h"

namespace velumar {

bool livePreviewChangesImage(const ConverterControls& c, const ImageModifyInfo& info,
                             const ImportedImage& engine) {
  if (ImportedImage::verifyResizeConditionsForImageInfo(info)) return true;
  if (c.featuresCheck.isOn() && c.isolateFacesCheck.isOn()) return true;
  if (c.roundedCornersCheck.enabled && c.shadowCheck.enabled &&
      (c.roundedCornersCheck.isOn() || c.shadowCheck.isOn()))
    return true;
  if (engine.ciPhotoFilters->currentProfile()) return true;
  if (c.addBorderCheck.isOn() && (info.topBorderSize > 0 || info.bottomBorderSize > 0 ||
                                  info.leftBorderSize > 0 || info.rightBorderSize > 0))
    return true;
  for (const PopUp* slot : {&c.filterTypePopUp0, &c.filterTypePopUp1, &c.filterTypePopUp2})
    if (slot->selectedIndex != 0) return true;
  for (const CheckBox* box : {&c.depthEnableCheck, &c.tinyPlanetCheck, &c.autoAdjustCheck, &c.toneCurveCheck,
                              &c.toneCurveRedCheck, &c.toneCurveGreenCheck, &c.toneCurveBlueCheck})
    if (box->state != CheckState::Off) return true;
  return engine.lutFilter() != nullptr;
}

std::optional<LivePreviewJob> makeLivePreviewJob(ConverterForm& form, LivePreviewTarget& target,
                                                 bool controlFilterValues) {
  if (form.state().isProcessingImages) return std::nullopt;
  ImportedImage& engine = form.engine();
  LivePreviewJob job;
  // Reads the committed model values; the widgets are not refreshed, so a
  // field being edited keeps its text.
  job.info = form.readCurrentPresetValues();
  if (controlFilterValues && !livePreviewChangesImage(form.controls, job.info, engine)) return std::nullopt;
  job.source = target.rawImageBackup();
  job.depthImage = target.rawDepthImage();
  job.imageURLSize = target.imageURLSize();
  job.imageDpi = target.currentImageDpi();
  job.clearPreviewContext = controlFilterValues;
  job.takeEngineInputs(engine);
  return job;
}

}  // namespace velumar
