#pragma once
// The tray icon with the application menu, where the desktop has a tray;
// its image follows the desktop's light or dark look. Without a tray there
// is no icon and no error: the menu bar holds the same commands.

#include <QObject>
#include <QString>

class QMenu;
class QSystemTrayIcon;

namespace velumar {

class Appearance;

class StatusItem : public QObject {
  Q_OBJECT

 public:
  StatusItem(QMenu* appMenu, const Appearance& appearance, QObject* parent = nullptr);

  bool isShown() const { return tray_ != nullptr; }
  // The image shown now ("MenuBar" or "MenuBarAlt").
  QString imageName() const { return imageName_; }

 private:
  void darkModeChanged();

  const Appearance& appearance_;
  QSystemTrayIcon* tray_ = nullptr;
  QString imageName_;
};

}  // namespace velumar
