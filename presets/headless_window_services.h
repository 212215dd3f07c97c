#pragma once
// The window services without a window: filter values are laid out by
// position (a control is used when the preset holds a value for it), images
// load through the image reader, and every other step is recorded as text.

#include <string>
#include <vector>

#include "presets/converter_window_services.h"

namespace velumar {

class HeadlessWindowServices : public ConverterWindowServices {
 public:
  std::vector<std::string> steps;
  std::string example = "filename.jpg";
  // Answers of the next confirmations, in order; none left means "Cancel".
  std::vector<bool> confirmations;

  void updateFilterValuesForPreset(ConverterControls& controls, const ImageInfo& preset) override;
  void changeFilterToExampleImageFrom(ConverterControls& controls) override;
  void addArrayValuesToFilterValuesAndUpdateUndo(ConverterControls& controls, bool undo) override;
  void updateApplicationsForOpenWithMenu() override;
  void updatePreviewViewAndUpdateText(bool updateText, bool updateImage, bool controlVisible) override;
  void updateFontPanel(const TextFont& font, const raster::TextAttributes& attributes) override;
  void refreshLivePreview() override;
  std::string exampleName() override;
  bool confirm(const std::string& message, const std::string& informativeText) override;
  std::shared_ptr<raster::ImageSet> loadImage(const std::string& path) override;
};

}  // namespace velumar
