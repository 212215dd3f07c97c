#include "converter/presets_window.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QSignalBlocker>
#include <algorithm>

#include "converter/converter_view.h"
#include "platform/ui/custom_button.h"
#include "platform/ui/menu_title.h"
#include "platform/ui/plain_text.h"
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

// A preset's title as a pop-up or menu shows it: long names are elided in
// the middle, so no name widens the window or a menu past the screen.
QString elidedTitle(const QString& title, const QFont& font, const QWidget* on) {
  const QFontMetrics metrics(font);
  int widest = metrics.averageCharWidth() * 48;
  if (const QScreen* screen = on ? on->screen() : nullptr)
    widest = std::min(widest, screen->availableGeometry().width() / 2);
  return metrics.elidedText(title, Qt::ElideMiddle, widest);
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
  popUp_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  popUp_->view()->setTextElideMode(Qt::ElideMiddle);
  connect(popUp_, &QComboBox::activated, this, [this](int index) {
    catalogue_->updateCurrentPresetFrom(index);
    showMenus();  // also when the choice was refused
  });

  name_ = new QLineEdit(this);
  name_->setObjectName(QStringLiteral("presetTextField"));
  name_->setPlaceholderText(QStringLiteral("Preset name"));
  view.binder().field(name_, c.presetTextField);
  nameNote_ = new QLabel(this);
  nameNote_->setObjectName(QStringLiteral("presetNameNote"));
  nameNote_->setWordWrap(true);
  nameNote_->setTextFormat(Qt::PlainText);  // it names a preset
  nameNote_->setVisible(false);
  connect(name_, &QLineEdit::textEdited, this, [this](const QString& typed) {
    showNameNote(presetFileName(stdText(typed)).shortened
                     ? tr("This name is too long for a file name: it is saved shortened.")
                     : QString());
  });
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
  grid->addWidget(nameNote_, 2, 0, 1, 2);
  grid->addWidget(save_, 3, 0);
  grid->addWidget(delete_, 3, 1);
  grid->addWidget(memorize, 4, 0, 1, 2);

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
  for (QMenu* submenu : {builtIn_, user_}) submenu->setToolTipsVisible(true);
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
  const bool shortened = presetFileName(view_.form().controls.presetTextField.text).shortened;
  const bool saved = velumar::savePresetFrom(view_.form(), *catalogue_);
  view_.refreshControls();
  if (saved && shortened)
    showNameNote(tr("Saved as \u201c%1\u201d: the name was shortened to fit a file name.")
                     .arg(elidedTitle(qText(view_.state().lastSelectedPresetName.value_or("")),
                                      nameNote_->font(), this)));
  else
    showNameNote(QString());
}

void PresetsWindow::showNameNote(const QString& text) {
  nameNote_->setText(text);
  nameNote_->setVisible(!text.isEmpty());
  // Laid out at once: a note of several lines would otherwise show its
  // first line only, over the tops of the buttons, until the next layout.
  layout()->activate();
  const int needed = layout()->totalHeightForWidth(width());
  if (needed > height()) resize(width(), needed);
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
      const QString title = qText(item.title);
      popUp_->addItem(elidedTitle(title, item.bold ? bold : popUp_->font(), this));
      const int at = popUp_->count() - 1;
      if (item.bold) popUp_->setItemData(at, bold, Qt::FontRole);
      if (popUp_->itemText(at) != title) popUp_->setItemData(at, ui::plainToolTip(title), Qt::ToolTipRole);
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
    const QString title = qText(items[i].title);
    const QString shown = elidedTitle(title, menu->font(), menu);
    action->setText(ui::menuTitle(shown));
    action->setToolTip(shown != title ? ui::plainToolTip(title) : QString());
    action->setChecked(items[i].on);
    action->setEnabled(items[i].enabled && items[i].hasAction);
    action->setCheckable(items[i].hasAction);
  }
}

}  // namespace velumar
