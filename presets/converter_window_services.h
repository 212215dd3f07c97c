#pragma once
// What the converter's control rules need from the window itself: the filter
// slots' layout from the filter catalogue, the applications of the Open With
// menu, the watermark preview, the font panel, the live preview and the
// example name. The window implements it; HeadlessWindowServices drives
// tests.

#include <memory>
#include <string>
#include <vector>

#include "engine/image_info.h"
#include "engine/text_font.h"
#include "platform/raster/attributed_text.h"
#include "presets/converter_controls.h"

namespace velumar {

class ConverterWindowServices {
 public:
  virtual ~ConverterWindowServices() = default;

  // Clears undo and redo, lays out the three filter slots for the selected
  // types, loads the preset's filter values into the option controls by
  // position (an entry "" leaves its control as laid out) and takes an
  // undo-less snapshot of the values.
  virtual void updateFilterValuesForPreset(ConverterControls& controls, const ImageInfo& preset) = 0;
  // Lays out the three slots keeping their values and refreshes the preview.
  virtual void changeFilterToExampleImageFrom(ConverterControls& controls) = 0;
  // The option controls' values become the only filter-values snapshot.
  virtual void addArrayValuesToFilterValuesAndUpdateUndo(ConverterControls& controls, bool undo) = 0;
  // Rebuilds the applications submenu of Open With item 14 and the engine's
  // application records under the items' tags.
  virtual void updateApplicationsForOpenWithMenu() = 0;
  // Rebuilds the watermark preview from the watermark controls.
  virtual void updatePreviewViewAndUpdateText(bool updateText, bool updateImage, bool controlVisible) = 0;
  // Shows the watermark font in the font panel when the panel exists.
  virtual void updateFontPanel(const TextFont& font, const raster::TextAttributes& attributes) = 0;
  // Renders the live preview again.
  virtual void refreshLivePreview() = 0;
  // The example output name for "filename.jpg" under the current settings.
  virtual std::string exampleName() = 0;
  // A modal question with the buttons "Ok" and "Cancel"; true for "Ok".
  virtual bool confirm(const std::string& message, const std::string& informativeText) = 0;
  // The image of a file for a drop well; nullptr when it cannot be loaded.
  virtual std::shared_ptr<raster::ImageSet> loadImage(const std::string& path) = 0;
};

}  // namespace velumar
