#include "presets/headless_window_services.h"

#include "platform/imageio/image_source.h"
#include "presets/filter_slot_table.h"

namespace velumar {

void HeadlessWindowServices::updateFilterValuesForPreset(ConverterControls& controls,
                                                         const ImageInfo& preset) {
  steps.push_back("filter values");
  for (std::size_t slot = 0; slot < kFilterSlotCount; ++slot)
    updateSliderValuesForArrayIndex(controls, slot, true);
  updateSliderValuesWithArray(controls, preset.filterValues);
  for (std::size_t slot = 0; slot < kFilterSlotCount; ++slot)
    updateSliderValuesForArrayIndex(controls, slot, false);
}

void HeadlessWindowServices::changeFilterToExampleImageFrom(ConverterControls&) {
  steps.push_back("filter layout");
}

void HeadlessWindowServices::addArrayValuesToFilterValuesAndUpdateUndo(ConverterControls&, bool undo) {
  steps.push_back(undo ? "filter snapshot with undo" : "filter snapshot");
}

void HeadlessWindowServices::updateApplicationsForOpenWithMenu() {
  steps.push_back("open with menu");
}

void HeadlessWindowServices::updatePreviewViewAndUpdateText(bool, bool, bool) {
  steps.push_back("watermark preview");
}

void HeadlessWindowServices::updateFontPanel(const TextFont&, const raster::TextAttributes&) {
  steps.push_back("font panel");
}

void HeadlessWindowServices::refreshLivePreview() {
  steps.push_back("live preview");
}

std::string HeadlessWindowServices::exampleName() {
  return example;
}

bool HeadlessWindowServices::confirm(const std::string& message, const std::string& informativeText) {
  steps.push_back("confirm " + message + " " + informativeText);
  if (confirmations.empty()) return false;
  const bool answer = confirmations.front();
  confirmations.erase(confirmations.begin());
  return answer;
}

std::shared_ptr<raster::ImageSet> HeadlessWindowServices::loadImage(const std::string& path) {
  const auto source = imageio::ImageSource::open(path);
  const raster::ImageRef image = source && source->count() > 0 ? source->createImage(0) : nullptr;
  if (!image) return nullptr;
  return std::make_shared<raster::ImageSet>(
      raster::ImageSet::withRepresentation(raster::BitmapImageRep::withImage(image)));
}

}  // namespace velumar
