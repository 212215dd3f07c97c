#include "presets/headless_window_services.h"

#include "platform/imageio/image_source.h"

namespace velumar {

void HeadlessWindowServices::updateFilterValuesForPreset(ConverterControls& controls,
                                                         const ImageInfo& preset) {
  steps.push_back("filter values");
  for (std::size_t i = 0; i < kOptionControlCount; ++i) {
    OptionControl& control = controls.optionsSliderArray[i];
    const foundation::Value* value = i < preset.filterValues.size() ? &preset.filterValues[i] : nullptr;
    const bool used = value && !value->isString();
    control.enabled = used;
    control.hidden = !used;
    if (!used) continue;
    if (control.kind == OptionControl::Kind::ColorWell) {
      const char* keys[] = {"redComponent", "greenComponent", "blueComponent", "alphaComponent"};
      for (std::size_t k = 0; k < 4; ++k) {
        const foundation::Value* component = value->get(keys[k]);
        control.color.rgba[k] = component ? component->doubleOr(0) : 0;
      }
    } else {
      control.slider.set(value->doubleOr(0));
    }
  }
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
