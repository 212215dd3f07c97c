#pragma once
// What the converter hands the preview window: the crop picker the preview
// picks the crop centre with (the one home of that point), and the
// watermark settings, text, font and picture the preview draws over the
// processed image.

#include "converter/position_picker.h"
#include "engine/imported_image.h"
#include "presets/converter_controls.h"
#include "preview/crop_picker_link.h"
#include "preview/preview_image_view.h"

namespace velumar {

class ConverterCropPicker : public CropPickerLink {
 public:
  ConverterCropPicker(ConverterControls& controls, PositionPickerView& picker)
      : controls_(controls), picker_(picker) {}

  int resizeMethod() const override { return int(controls_.resizeScalePopUp.selectedIndex); }
  raster::Point mousePoint() const override { return controls_.cropPositionView.mousePoint; }
  void setMousePoint(raster::Point point) override;
  bool viewIsMovingMouse() const override { return picker_.viewIsMovingMouse(); }
  void setViewIsMovingMouse(bool moving) override { picker_.setViewIsMovingMouse(moving); }
  void setNeedsDisplay() override { picker_.update(); }

 private:
  ConverterControls& controls_;
  PositionPickerView& picker_;
};

// The watermark settings of the controls to the preview view: updateText
// also copies the engine's text, font and attributes, updateImage the
// watermark well's picture; with controlVisible nothing but the request
// to draw the watermarks again happens while the preview window is hidden.
void updatePreviewViewAndUpdateText(PreviewImageView& preview, const ConverterControls& controls,
                                    const ImportedImage& engine, bool updateText, bool updateImage,
                                    bool controlVisible);

}  // namespace velumar
