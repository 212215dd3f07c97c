#include "converter/presets_window.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QMenu>
#include <QSignalBlocker>

#include "converter/converter_view.h"
#include "platform/ui/custom_button.h"
#include "presets/user_presets.h"

namespace velumar {

namespace {

// The catalogue applies presets through the view, so the widgets and the
// Open With items follow.
class ViewPresetTarget : public PresetControlsTarget {
 public:
  explicit ViewPresetTarget(ConverterView& view) : view_(view) {}
  bool setPopOverViewFromPreset(std::size_t position) override { return view_.applyPreset(position); }
  bool setDefaultPreset() override { return view_.applyDefaultPreset(); }

 private:
  ConverterView& view_;
};

ui::CustomButton* framedButton(const char* title, const char* name, QWidget* parent) {
  auto* button = new ui::CustomButton(QString::fromUtf8(title), parent);
  button->setObjectName(QString::fromUtf8(name));
  button->setFrames({5, 5, 90, 30}, {10, 10, 80, 20});
  return button;
}

}  // namespace

PresetsWindow::PresetsWindow(ConverterView& view, QWidget* parent)
    : QWidget(parent, Qt::Tool),
      view_(view),
      target_(std::make_unique<ViewPresetTarget>(view)),
      catalogue_(std::make_unique<PresetCatalogue>(*view.importedImage(), view.state(), *target_)) {
  setObjectName(QStringLiteral("presetsWindow"));
  setWindowTitle(QStringLiteral("Presets"));
  ConverterControls& c = view.form().controls;

  popUp_ = new QComboBox(this);
  popUp_->setObjectName(QStringLiteral("presetsPopUp"));
  popUp_->setMinimumContentsLength(28);
  connect(popUp_, &QComboBox::activated, this, [this](int index) {
    catalogue_->updateCurrentPresetFrom(index);
    showMenus();  // also when the choice was refused
  });

  name_ = new QLineEdit(this);
  name_->setObjectName(QStringLiteral("presetTextField"));
  name_->setPlaceholderText(QStringLiteral("Preset name"));
  view.binder().field(name_, c.presetTextField);
  save_ = framedButton("Save Preset", "savePresetButton", this);
  delete_ = framedButton("Delete Preset", "deleteButton", this);
  connect(save_, &QAbstractButton::clicked, this, &PresetsWindow::savePresetFrom);
  connect(delete_, &QAbstractButton::clicked, this, &PresetsWindow::deletePresetFrom);

  auto* memorize = new QCheckBox(QStringLiteral("Presets carry the file options"), this);
  memorize->setObjectName(QStringLiteral("memorizeToPresetCheck"));
  view.binder().check(memorize, c.memorizeToPresetCheck, [this, &c] {
    catalogue_->memorizeSavingMethodToPresetFrom(c.memorizeToPresetCheck.isOn() ? 1 : 0);
  });

  auto* grid = new QGridLayout(this);
  grid->addWidget(popUp_, 0, 0, 1, 2);
  grid->addWidget(name_, 1, 0, 1, 2);
  grid->addWidget(save_, 2, 0);
  grid->addWidget(delete_, 2, 1);
  grid->addWidget(memorize, 3, 0, 1, 2);

  catalogue_->menus().changed = [this] { showMenus(); };
  view.setPresetsWindow(this);
  connect(view.presetsButton(), &QAbstractButton::clicked, this, [this] {
    view_.presetsButton()->setChecked(false);
    openClosePresetsWindowFrom();
  });
}

PresetsWindow::~PresetsWindow() {
  catalogue_->menus().changed = nullptr;
}

void PresetsWindow::fillMenu(QMenu* presetsMenu) {
  builtIn_ = presetsMenu->addMenu(QStringLiteral("Built-in Presets"));
  builtIn_->setObjectName(QStringLiteral("presetsSubMenu"));
  user_ = presetsMenu->addMenu(QStringLiteral("My Presets"));
  user_->setObjectName(QStringLiteral("customPresetsSubMenu"));
  presetsMenu->addSeparator();
  QAction* show = presetsMenu->addAction(QStringLiteral("Show Presets"));
  connect(show, &QAction::triggered, this, &PresetsWindow::openClosePresetsWindowFrom);
  showMenus();
}

void PresetsWindow::openClosePresetsWindowFrom() {
  if (view_.state().isProcessingImages.load()) return;
  if (isVisible() && isActiveWindow()) return;
  show();
  raise();
  activateWindow();
}

void PresetsWindow::savePresetFrom() {
  // The name as typed, also when the field was not left before the click.
  view_.form().controls.presetTextField.text = stdText(name_->text());
  velumar::savePresetFrom(view_.form(), *catalogue_);
  view_.refreshControls();
}

void PresetsWindow::deletePresetFrom() {
  velumar::deletePresetFrom(view_.form(), *catalogue_);
  view_.refreshControls();
  showMenus();
}

void PresetsWindow::showMenus() {
  const PresetMenus& menus = catalogue_->menus();
  {
    const QSignalBlocker blocker(popUp_);
    popUp_->clear();
    QFont bold = popUp_->font();
    bold.setBold(true);
    bold.setPointSizeF(11);
    for (const PresetPopUpItem& item : menus.popUpItems) {
      popUp_->addItem(qText(item.title));
      if (item.bold) popUp_->setItemData(popUp_->count() - 1, bold, Qt::FontRole);
    }
    popUp_->setCurrentIndex(int(menus.selectedIndex));
  }
  if (builtIn_)
    showSubmenu(builtIn_, menus.builtInItems, [this](std::size_t i) {
      catalogue_->changePresetSubmenuFrom(i);
      showMenus();
    });
  if (user_)
    showSubmenu(user_, menus.userItems, [this](std::size_t i) {
      catalogue_->changeCustomPresetSubmenuFrom(i);
      showMenus();
    });
}

void PresetsWindow::showSubmenu(QMenu* menu, const std::vector<PresetMenuItem>& items,
                                const std::function<void(std::size_t)>& choose) {
  QList<QAction*> actions = menu->actions();
  // Items are made again only when their number changed; a chosen item's
  // own signal may be running meanwhile, so old ones go later.
  if (actions.size() != qsizetype(items.size())) {
    for (QAction* action : actions) {
      menu->removeAction(action);
      action->deleteLater();
    }
    actions.clear();
    for (std::size_t i = 0; i < items.size(); ++i) {
      QAction* action = menu->addAction(QString());
      action->setCheckable(true);
      connect(action, &QAction::triggered, menu, [choose, i] { choose(i); });
      actions.push_back(action);
    }
  }
  for (std::size_t i = 0; i < items.size(); ++i) {
    QAction* action = actions[qsizetype(i)];
    action->setText(qText(items[i].title).replace(QLatin1Char('&'), QStringLiteral("&&")));
    action->setChecked(items[i].on);
    action->setEnabled(items[i].enabled && items[i].hasAction);
    action->setCheckable(items[i].hasAction);
  }
}

}  // namespace velumar
