#pragma once
// Saving the converter's controls as a user preset and deleting one. Both
// are refused while a batch runs: they rebuild or apply presets, which
// replaces engine inputs the batch reads.

#include <optional>
#include <string>

#include "platform/foundation/value.h"
#include "presets/converter_form.h"
#include "presets/preset_catalogue.h"

namespace velumar {

// The name a typed preset name is saved under before numbering: "/" becomes
// a space, NUL is dropped, and a name too long for the preset file and its
// image copies is cut at a character boundary (shortened then says so).
struct PresetFileName {
  std::string name;
  bool shortened = false;
};
PresetFileName presetFileName(const std::string& typed);

// Saves the controls under the name in the preset-name field ("/" becomes a
// space, NUL is dropped; an empty name saves nothing) as a new file of
// "ImagePresets", with the composite and watermark images copied beside it,
// under the first name that neither folder nor any copy uses. Then rebuilds
// the catalogue with the new preset current. False when nothing was saved;
// a failed save leaves no file behind.
bool savePresetFrom(ConverterForm& form, PresetCatalogue& catalogue);

// After confirmation, deletes the selected user preset: its file (where it
// was loaded from, inside "ImagePresets"), the image copies its flags name,
// and its entries; then applies the preset before it. Built-in positions
// are never deleted. False when nothing was deleted.
bool deletePresetFrom(ConverterForm& form, PresetCatalogue& catalogue);

// Removes the image copies a preset file names, only when its flag says a
// copy was written and only the copies "<name>_composite.png|jpg" and
// "<name>_watermark.png|jpg" of folder.
void removeCompositeAndWatermarkImagesForDictionary(const std::optional<foundation::Value>& dictionary,
                                                    const std::string& presetName, const std::string& folder);

}  // namespace velumar
