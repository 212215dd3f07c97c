#pragma once
// Alerts about the settings file: at launch, one when the file could not be
// read, naming why (damaged, too many entries, too large to be read, too
// large to be saved again; it is kept aside and the defaults are used), and
// one at the first failed write of a run, naming its cause: the settings
// folder cannot be written or the settings are too large (never repeated in
// that run). The alerts do not block: they show and the program goes on.

#include <QMessageBox>
#include <QObject>
#include <QPointer>

#include "platform/foundation/notification_center.h"

namespace foundation {
class UserDefaults;
}

namespace velumar {

class SettingsAlerts : public QObject {
  Q_OBJECT

 public:
  explicit SettingsAlerts(foundation::UserDefaults& defaults, QObject* parent = nullptr);

  // Shows the alerts due at launch (an unreadable file; a folder that
  // cannot be written).
  void checkAtLaunch();
  // No alert shows from now on (the program is quitting).
  void stop() { stopped_ = true; }

  QMessageBox* unreadableAlert() const { return unreadableAlert_; }
  QMessageBox* notWritableAlert() const { return notWritableAlert_; }

 private:
  void writeFailed();
  QMessageBox* showAlert(const QString& name, const QString& text, const QString& informative);

  foundation::UserDefaults& defaults_;
  foundation::ObserverToken writeFailedObserver_;
  QPointer<QMessageBox> unreadableAlert_;
  QPointer<QMessageBox> notWritableAlert_;
  bool writeFailureShown_ = false;
  bool stopped_ = false;
};

}  // namespace velumar
