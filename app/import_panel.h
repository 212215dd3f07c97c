#pragma once
// The import open panels. One file dialog cannot choose files and folders
// together, so each import is offered for images or for a folder. The
// panel reopens where the last choice was made, else in the last folder
// it entered, also after a restart: that folder is kept in the user
// defaults.

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace foundation {
class UserDefaults;
}

namespace velumar {

struct ImportPanelOptions {
  bool forPreview = false;  // prompt "Import" instead of "Process"
  bool folder = false;      // choose one folder instead of images
};

// What the user chose: the items, the folder the panel was in last
// (openPanelURL), the panel's folder, and whether the items came from a
// source without a folder (never here).
struct ImportPanelChoice {
  std::vector<std::string> paths;
  std::optional<std::string> openPanelURL;
  std::optional<std::string> directoryURL;
  bool mediaFolder = false;
};

// Runs the panel modally; nothing when cancelled.
using ImportPanelRunner = std::function<std::optional<ImportPanelChoice>(const ImportPanelOptions&)>;

// The folder the next import panel opens in, as a path.
inline constexpr const char* kImportFolderDefaultsKey = "ImportFolder";

// The real panel, on parent; the folder it opens in is kept in defaults.
std::optional<ImportPanelChoice> runImportPanel(QWidget* parent, const ImportPanelOptions& options,
                                                foundation::UserDefaults& defaults);

}  // namespace velumar
