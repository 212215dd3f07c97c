#pragma once
// Rules of the Modify tab's adjustment, composite, crop-picker, watermark,
// depth and tiny-planet controls on the controls model. Headless; the
// window binds widgets to the model and runs these as the controls' actions.

#include <cstdint>
#include <string>

#include "engine/image_modify_info.h"
#include "platform/foundation/number_formatter.h"
#include "presets/converter_controls.h"

namespace velumar {

// The adjustment and face check boxes; the sender has already toggled.
enum class AdjustCheck { AutoAdjust, Enhance, RedEyes, Features, IsolateFaces, EyeBlink, FaceEffect };

// Keeps at least one kind of automatic adjustment and one face mode on and
// enables the face effects with isolate-faces. Answers whether the live
// preview needs rendering again (not for eye blink, which only changes a
// conversion).
bool verifyAdjustCheckFrom(ConverterControls& controls, AdjustCheck sender);

// The composite pop-up chose an item: the options button is live for a
// composite mode, dimmed and off (its popover closed) for none.
void modifyCompositeStateFrom(ConverterControls& controls);

// The crop picker's point shown in the crop-centre fields, as offsets from
// the centre.
void updateCropImageForPosition(ConverterControls& controls, const foundation::NumberFormatter& formatter);

// The angle a watermark is drawn at from its circular slider: the slider
// value plus 90 degrees, within 0 to 360.
double watermarkAngleFromSlider(float sliderValue);
// The date style of the date watermark: 1 short to 4 full.
std::uint64_t watermarkDateStyle(const ConverterControls& controls);
// The watermark settings the preview draws over the processed image,
// starting from a new preset's record.
ImageModifyInfo watermarkPreviewSettings(const ConverterControls& controls);

// A value typed into the field of a depth or tiny-planet slider: set when
// it parses and lies within the range (ends included); false otherwise,
// the slider unchanged.
bool typedSliderValue(Slider& slider, const std::string& text);
// The popovers' starting values; the switches that turn the effects on
// (and the depth intensity) stay.
void resetDepthState(ConverterControls& controls);
void resetTinyPlanetState(ConverterControls& controls);

}  // namespace velumar
