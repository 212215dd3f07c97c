#pragma once
// A button that pops up its menu of numbered items below itself and shows
// the selected item's title. Items keep fixed indices; an item may be
// disabled or carry a submenu. The selection changes only by the user
// (activated) or by select(), which emits nothing.

#include <QIcon>
#include <QPushButton>
#include <QString>
#include <vector>

class QAction;
class QMenu;

namespace ui {

class PopUpMenuButton : public QPushButton {
  Q_OBJECT

 public:
  explicit PopUpMenuButton(QWidget* parent = nullptr);

  // Replaces the items; selects item 0.
  void setItems(const QStringList& titles);
  int count() const { return int(actions_.size()); }
  int selectedIndex() const { return selected_; }
  // Selects an existing item; anything else selects item 0.
  void select(int index);
  void setItemEnabled(int index, bool enabled);
  bool isItemEnabled(int index) const;
  QString itemTitle(int index) const;
  // Retitles an item in place (its submenu stays).
  void setItemTitle(int index, const QString& title);
  // An item's icon, shown in the menu and, while selected, on the button.
  void setItemIcon(int index, const QIcon& icon);
  QIcon itemIcon(int index) const;
  // The submenu of an item, made on first use.
  QMenu* submenuOf(int index);
  QMenu* menu() const { return menu_; }

 signals:
  // The user picked an enabled item.
  void activated(int index);

 private:
  void showSelection();

  QMenu* menu_;
  std::vector<QAction*> actions_;
  int selected_ = 0;
};

}  // namespace ui
