#pragma once
// Connects the converter window and the preview window: images the
// converter sends are listed in the preview, a conversion keeps the preview
// list still and reads what it shows (its files window closes meanwhile,
// and both come back after), and a press in the preview picks the
// converter's crop centre. The library grid, the image-info window and the
// preview's commands hang off the preview window. Also the launch step that
// loads the presets.

namespace foundation {
class UserDefaults;
}

namespace velumar {

class ConverterWindow;
class PreviewWindow;

// Either window may go first; a link to a window that is gone does nothing.
void connectConverterToPreview(ConverterWindow& converter, PreviewWindow& preview);

// Opens the library grid, the image-info window and the preview window's
// commands (convert, copy, share, print, info, library, large preview),
// which convert through the converter's batch session. They live as long
// as the preview window.
void connectLibraryWindows(ConverterWindow& converter, PreviewWindow& preview);

// Second launch step: the preset named by "LastSelectedPreset" is
// remembered, the built-in and user presets are loaded (selecting and
// applying that one, else the first) and "TempData" is emptied.
void loadPresetsAtLaunch(ConverterWindow& converter, const foundation::UserDefaults& defaults);

}  // namespace velumar
