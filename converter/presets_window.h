#pragma once
// The presets side window and the Presets menu: the presets pop-up, the name
// field with "Save Preset", "Delete Preset" and the file-options check box;
// the menu's submenus of built-in and user presets. Both follow the preset
// catalogue, which applies a chosen preset to the converter's controls.

#include <QWidget>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "presets/preset_catalogue.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;

namespace ui {
class CustomButton;
}

namespace velumar {

class ConverterView;

class PresetsWindow : public QWidget {
  Q_OBJECT

 public:
  // A tool window of parent, working on view's controls.
  PresetsWindow(ConverterView& view, QWidget* parent);
  ~PresetsWindow() override;

  PresetCatalogue& catalogue() { return *catalogue_; }
  // Fills presetsMenu with the two preset submenus and an item that shows
  // this window.
  void fillMenu(QMenu* presetsMenu);
  QMenu* builtInSubmenu() const { return builtIn_; }
  QMenu* userSubmenu() const { return user_; }

  // Brings the window forward as the active window, unless it already is.
  void openClosePresetsWindowFrom();
  void savePresetFrom();
  void deletePresetFrom();

 private:
  // Shows the catalogue's lists in the pop-up and the submenus.
  void showMenus();
  void showNameNote(const QString& text);
  static void showSubmenu(QMenu* menu, const std::vector<PresetMenuItem>& items,
                          const std::function<void(std::size_t)>& choose);

  ConverterView& view_;
  std::unique_ptr<PresetControlsTarget> target_;
  std::unique_ptr<PresetCatalogue> catalogue_;
  QComboBox* popUp_ = nullptr;
  QLineEdit* name_ = nullptr;
  // Says when a name is too long for a file name and is saved shortened.
  QLabel* nameNote_ = nullptr;
  ui::CustomButton* save_ = nullptr;
  ui::CustomButton* delete_ = nullptr;
  QMenu* builtIn_ = nullptr;
  QMenu* user_ = nullptr;
};

}  // namespace velumar
