#pragma once
// Connects the converter window and the preview window: images the
// converter sends are listed in the preview, a conversion keeps the preview
// list still and reads what it shows (its files window closes meanwhile,
// and both come back after), and a press in the preview picks the
// converter's crop centre. Also the launch step that loads the presets.

namespace foundation {
class UserDefaults;
}

namespace velumar {

class ConverterWindow;
class PreviewWindow;

// Either window may go first; a link to a window that is gone does nothing.
void connectConverterToPreview(ConverterWindow& converter, PreviewWindow& preview);

// Second launch step: the preset named by "LastSelectedPreset" is
// remembered, the built-in and user presets are loaded (selecting and
// applying that one, else the first) and "TempData" is emptied.
void loadPresetsAtLaunch(ConverterWindow& converter, const foundation::UserDefaults& defaults);

}  // namespace velumar
