#include "converter/preview_watermarks.h"

#include "presets/modify_control_rules.h"

namespace velumar {

void updatePreviewViewAndUpdateText(PreviewImageView& preview, const ConverterControls& c,
                                    const ImportedImage& engine, bool updateText, bool updateImage,
                                    bool controlVisible) {
  preview.setDrawImageOnly(false);
  if (controlVisible && !preview.window()->isVisible()) return;
  const ImageModifyInfo settings = watermarkPreviewSettings(c);
  ImportedImage& drawn = preview.watermarks();
  if (!settings.addWatermarkText) {
    drawn.resetTextAttributes();
  } else if (updateText) {
    drawn.watermarkDrawString = engine.watermarkDrawString;
    drawn.textFont = engine.textFont;
    drawn.textAttributes = engine.textAttributes;
  }
  const ImageWell& well = c.watermarkImageView;
  if (!settings.addWatermarkImage || !well.hasFullSizeImage())
    drawn.watermarkImage = nullptr;
  else if (updateImage)
    drawn.watermarkImage = well.fullSizeImage;
  preview.setPreviewInfo(settings);
  if (!preview.isOriginalImage()) preview.update();
}

}  // namespace velumar
