#pragma once
// The watermark settings, text, font and picture the converter's controls
// hand the preview view, which draws them over the processed image.

#include "engine/imported_image.h"
#include "presets/converter_controls.h"
#include "preview/preview_image_view.h"

namespace velumar {

// updateText also copies the engine's text, font and attributes,
// updateImage the watermark well's picture; with controlVisible nothing but
// the request to draw the watermarks again happens while the preview window
// is hidden.
void updatePreviewViewAndUpdateText(PreviewImageView& preview, const ConverterControls& controls,
                                    const ImportedImage& engine, bool updateText, bool updateImage,
                                    bool controlVisible);

}  // namespace velumar
