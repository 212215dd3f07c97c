#include "app/preferences_window.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QRadioButton>
#include <QStackedWidget>
#include <QToolBar>
#include <QVBoxLayout>

#include "app/task_bar_entry.h"
#include "shortcut/key_shortcut_view.h"

namespace velumar {

namespace {

// A column of radio buttons as one group, the rows numbered from 0.
QButtonGroup* addMatrix(QWidget* page, QFormLayout* form, const QString& label,
                        std::initializer_list<const char*> rows) {
  auto* group = new QButtonGroup(page);
  auto* column = new QVBoxLayout;
  int row = 0;
  for (const char* title : rows) {
    auto* button = new QRadioButton(QString::fromUtf8(title), page);
    group->addButton(button, row++);
    column->addWidget(button);
  }
  group->button(0)->setChecked(true);
  form->addRow(label, column);
  return group;
}

}  // namespace

PreferencesWindow::PreferencesWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setWindowTitle(QStringLiteral("Preferences"));
  setObjectName(QStringLiteral("preferencesPanel"));
  setAttribute(Qt::WA_QuitOnClose, false);
  auto* layout = new QVBoxLayout(this);
  preferencesToolbar_ = new QToolBar(this);
  preferencesToolbar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  auto* items = new QActionGroup(this);
  generalPreferencesItem_ = preferencesToolbar_->addAction(QStringLiteral("General"));
  appearancePreferencesItem_ = preferencesToolbar_->addAction(QStringLiteral("Appearance"));
  for (QAction* item : {generalPreferencesItem_, appearancePreferencesItem_}) {
    item->setCheckable(true);
    items->addAction(item);
  }
  connect(generalPreferencesItem_, &QAction::triggered, this, [this] { showPage(Page::General); });
  connect(appearancePreferencesItem_, &QAction::triggered, this, [this] { showPage(Page::Appearance); });
  layout->addWidget(preferencesToolbar_);
  preferencesView_ = new QStackedWidget(this);
  generalPreferencesView_ = buildGeneralPage();
  appearancePreferencesView_ = buildAppearancePage();
  preferencesView_->addWidget(generalPreferencesView_);
  preferencesView_->addWidget(appearancePreferencesView_);
  layout->addWidget(preferencesView_);
  showPage(Page::General);
}

QWidget* PreferencesWindow::buildGeneralPage() {
  auto* page = new QWidget(this);
  auto* form = new QFormLayout(page);
  shortcutView_ = new shortcut::KeyShortcutView(page);
  form->addRow(QStringLiteral("Show converter:"), shortcutView_);
  showInFinderCheck_ = new QCheckBox(QStringLiteral("Reveal converted files in the file manager"), page);
  hideExtensionCheck_ = new QCheckBox(QStringLiteral("Hide extensions of converted files"), page);
  previewFitsSizeCheck_ = new QCheckBox(QStringLiteral("Preview window fits the image size"), page);
  form->addRow(QString(), showInFinderCheck_);
  // Linux file systems have no per-file "extension hidden" attribute: the
  // setting is kept but not offered.
  hideExtensionCheck_->hide();
  form->addRow(QString(), previewFitsSizeCheck_);
  dragAndDropBehaviorMatrix_ =
      addMatrix(page, form, QStringLiteral("Dropped images:"), {"Process at once", "Import to the preview"});
  // The choice is fixed: drops are listed, files opened from outside convert.
  for (QAbstractButton* row : dragAndDropBehaviorMatrix_->buttons()) row->setEnabled(false);
  auto* fixedChoice = new QLabel(QStringLiteral("Drops are always listed in the preview. Files opened with "
                                                "Velumar from the file manager are converted at once."),
                                 page);
  fixedChoice->setObjectName(QStringLiteral("dropChoiceNote"));
  fixedChoice->setWordWrap(true);
  fixedChoice->setEnabled(false);
  form->addRow(QString(), fixedChoice);
  cpuGPUMatrix_ =
      addMatrix(page, form, QStringLiteral("Render filters on:"), {"Graphics processor", "Processor"});
  return page;
}

QWidget* PreferencesWindow::buildAppearancePage() {
  auto* page = new QWidget(this);
  auto* form = new QFormLayout(page);
  viewAppearanceMatrix_ = addMatrix(page, form, QStringLiteral("Converter:"), {"Standard"});
  // Kept for the stored preferences; they have no effect to offer.
  alwayOnTopCheck_ = new QCheckBox(QStringLiteral("Keep the converter above other windows"), page);
  alwayOnTopCheck_->setVisible(false);
  dockStatePopUp_ = new QComboBox(page);
  dockStatePopUp_->addItems({QStringLiteral("Show in task bar"), QStringLiteral("Hide from task bar")});
  form->addRow(QStringLiteral("Task bar:"), dockStatePopUp_);
  const QString unavailable = taskBarHidingUnavailableReason();
  if (unavailable.isEmpty()) {
    dockStatePopUp_->setToolTip(QStringLiteral("Applies from the next start. The tray icon stays."));
  } else {
    dockStatePopUp_->setEnabled(false);
    dockStatePopUp_->setToolTip(unavailable);
    auto* note = new QLabel(unavailable, page);
    note->setObjectName(QStringLiteral("dockStateNote"));
    note->setWordWrap(true);
    note->setEnabled(false);
    form->addRow(QString(), note);
  }
  return page;
}

void PreferencesWindow::showPage(Page page) {
  QWidget* shown = page == Page::General ? generalPreferencesView_ : appearancePreferencesView_;
  (page == Page::General ? generalPreferencesItem_ : appearancePreferencesItem_)->setChecked(true);
  if (preferencesView_->currentWidget() == shown) return;
  preferencesView_->setCurrentWidget(shown);
}

PreferencesWindow::Page PreferencesWindow::currentPage() const {
  return preferencesView_->currentWidget() == generalPreferencesView_ ? Page::General : Page::Appearance;
}

QString PreferencesWindow::selectedToolbarItem() const {
  return generalPreferencesItem_->isChecked() ? generalPreferencesItem_->text()
                                              : appearancePreferencesItem_->text();
}

}  // namespace velumar
