#pragma once
// Turns the converter's controls into live-preview jobs: the settings read
// from the controls at their committed values (no field is rewritten), the
// engine inputs copied, and the test whether any setting changes the image
// at all.

#include <optional>

#include "converter/live_preview_job.h"
#include "converter/live_preview_target.h"
#include "engine/image_modify_info.h"

namespace velumar {

class ConverterForm;
class ImportedImage;
struct ConverterControls;

// Whether the settings change the pixels: the engine's own test, or face
// isolation, the icon look, an output profile, a border, a filter slot,
// depth, tiny planet, auto adjust, a curve or a lookup table.
bool livePreviewChangesImage(const ConverterControls& controls, const ImageModifyInfo& info,
                             const ImportedImage& engine);

// The job for target's shown image; nullopt while a batch runs (the
// controls and the engine's inputs belong to it) and, with
// controlFilterValues, when no setting changes the image.
std::optional<LivePreviewJob> makeLivePreviewJob(ConverterForm& form, LivePreviewTarget& target,
                                                 bool controlFilterValues);

}  // namespace velumar
