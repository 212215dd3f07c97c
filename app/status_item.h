#pragma once
// The tray icon with the application menu, where the desktop has a tray;
// its image follows the desktop's light or dark look. Without a tray there
// is no icon and no error: the menu bar holds the same commands. A tray
// host that starts later (its StatusNotifierWatcher appears or a host
// registers with it) gets the icon then. A primary click runs the primary
// action (the application shows the converter window).

#include <QObject>
#include <QString>
#include <functional>

class QMenu;
class QSystemTrayIcon;

namespace velumar {

class Appearance;

class StatusItem : public QObject {
  Q_OBJECT

 public:
  StatusItem(QMenu* appMenu, const Appearance& appearance, QObject* parent = nullptr);
  void setPrimaryAction(std::function<void()> action) { primaryAction_ = std::move(action); }

  bool isShown() const { return tray_ != nullptr; }
  // The image shown now ("MenuBar" or "MenuBarAlt").
  QString imageName() const { return imageName_; }

 private:
  void darkModeChanged();
  // Shows the icon once a tray is there; true when it is shown.
  bool showWhenTrayExists();
  void watchForLaterTray();
  Q_SLOT void trayHostRegistered();

  QMenu* appMenu_;
  const Appearance& appearance_;
  std::function<void()> primaryAction_;
  std::function<void()> retryLater_;
  QSystemTrayIcon* tray_ = nullptr;
  QString imageName_;
};

}  // namespace velumar
