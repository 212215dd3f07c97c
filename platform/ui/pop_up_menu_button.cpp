#include "platform/ui/pop_up_menu_button.h"

#include <QAction>
#include <QMenu>

namespace ui {

PopUpMenuButton::PopUpMenuButton(QWidget* parent) : QPushButton(parent), menu_(new QMenu(this)) {
  setMenu(menu_);
}

void PopUpMenuButton::setItems(const QStringList& titles) {
  menu_->clear();
  actions_.clear();
  for (int index = 0; index < titles.size(); ++index) {
    QAction* action = menu_->addAction(titles[index]);
    action->setCheckable(true);
    connect(action, &QAction::triggered, this, [this, index] {
      selected_ = index;
      showSelection();
      emit activated(index);
    });
    actions_.push_back(action);
  }
  selected_ = 0;
  showSelection();
}

void PopUpMenuButton::select(int index) {
  selected_ = index >= 0 && index < count() ? index : 0;
  showSelection();
}

void PopUpMenuButton::setItemEnabled(int index, bool enabled) {
  if (index >= 0 && index < count()) actions_[std::size_t(index)]->setEnabled(enabled);
}

bool PopUpMenuButton::isItemEnabled(int index) const {
  return index >= 0 && index < count() && actions_[std::size_t(index)]->isEnabled();
}

QString PopUpMenuButton::itemTitle(int index) const {
  return index >= 0 && index < count() ? actions_[std::size_t(index)]->text() : QString();
}

void PopUpMenuButton::setItemTitle(int index, const QString& title) {
  if (index < 0 || index >= count() || actions_[std::size_t(index)]->text() == title) return;
  actions_[std::size_t(index)]->setText(title);
  if (index == selected_) showSelection();
}

void PopUpMenuButton::setItemIcon(int index, const QIcon& icon) {
  if (index < 0 || index >= count()) return;
  actions_[std::size_t(index)]->setIcon(icon);
  if (index == selected_) showSelection();
}

QIcon PopUpMenuButton::itemIcon(int index) const {
  return index >= 0 && index < count() ? actions_[std::size_t(index)]->icon() : QIcon();
}

QMenu* PopUpMenuButton::submenuOf(int index) {
  if (index < 0 || index >= count()) return nullptr;
  QAction* action = actions_[std::size_t(index)];
  if (!action->menu()) {
    auto* submenu = new QMenu(action->text(), menu_);
    action->setMenu(submenu);
  }
  return action->menu();
}

void PopUpMenuButton::showSelection() {
  for (std::size_t i = 0; i < actions_.size(); ++i) actions_[i]->setChecked(int(i) == selected_);
  setText(itemTitle(selected_));
  setIcon(itemIcon(selected_));
}

}  // namespace ui
