#pragma once
// Puts the preview window's commands where a user finds them: items of the
// preview window's Image menu (also its context menu), a tool bar with the
// convert, share, info and library buttons, and the library grid's cell
// and background menus. Every item has an object name, so it can be found.

class QToolBar;

namespace velumar {

class ImageBrowserController;
class PreviewCommands;
class PreviewWindow;

// The library window in front, showing the list as it is now.
void showLibraryWindow(ImageBrowserController& library);

// commands and library must live as long as the preview window.
QToolBar* addPreviewCommandActions(PreviewWindow& preview, PreviewCommands& commands,
                                   ImageBrowserController& library);

}  // namespace velumar
