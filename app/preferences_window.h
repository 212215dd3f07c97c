#pragma once
// The preferences panel: a tool bar with "General" and "Appearance" over
// the two pages. It shows the shell's preferences and the converter's
// file-reveal options; its controls write back through the delegate's
// handlers.

#include <QButtonGroup>
#include <QWidget>

class QAction;
class QCheckBox;
class QComboBox;
class QStackedWidget;
class QToolBar;

namespace shortcut {
class KeyShortcutView;
}

namespace velumar {

class PreferencesWindow : public QWidget {
  Q_OBJECT

 public:
  enum class Page { General, Appearance };

  explicit PreferencesWindow(QWidget* parent = nullptr);

  // Shows page; choosing the page already shown changes nothing.
  void showPage(Page page);
  Page currentPage() const;
  QString selectedToolbarItem() const;

  shortcut::KeyShortcutView* shortcutView() const { return shortcutView_; }
  QCheckBox* previewFitsSizeCheck() const { return previewFitsSizeCheck_; }
  QCheckBox* showInFinderCheck() const { return showInFinderCheck_; }
  QCheckBox* hideExtensionCheck() const { return hideExtensionCheck_; }
  QCheckBox* alwayOnTopCheck() const { return alwayOnTopCheck_; }
  QButtonGroup* cpuGPUMatrix() const { return cpuGPUMatrix_; }
  QButtonGroup* dragAndDropBehaviorMatrix() const { return dragAndDropBehaviorMatrix_; }
  QButtonGroup* viewAppearanceMatrix() const { return viewAppearanceMatrix_; }
  QComboBox* dockStatePopUp() const { return dockStatePopUp_; }

 private:
  QWidget* buildGeneralPage();
  QWidget* buildAppearancePage();

  QToolBar* preferencesToolbar_;
  QAction* generalPreferencesItem_;
  QAction* appearancePreferencesItem_;
  QStackedWidget* preferencesView_;
  QWidget* generalPreferencesView_;
  QWidget* appearancePreferencesView_;
  shortcut::KeyShortcutView* shortcutView_ = nullptr;
  QCheckBox* previewFitsSizeCheck_ = nullptr;
  QCheckBox* showInFinderCheck_ = nullptr;
  QCheckBox* hideExtensionCheck_ = nullptr;
  QCheckBox* alwayOnTopCheck_ = nullptr;
  QButtonGroup* cpuGPUMatrix_ = nullptr;
  QButtonGroup* dragAndDropBehaviorMatrix_ = nullptr;
  QButtonGroup* viewAppearanceMatrix_ = nullptr;
  QComboBox* dockStatePopUp_ = nullptr;
};

}  // namespace velumar
