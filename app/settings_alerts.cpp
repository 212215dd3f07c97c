#include "app/settings_alerts.h"

#include <QFile>
#include <QMessageBox>
#include <filesystem>

#include "platform/foundation/user_defaults.h"
#include "platform/ui/plain_text.h"

namespace velumar {

namespace {

QString fromPath(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}

QString unreadableCauseText(foundation::UserDefaults::UnreadableCause cause) {
  switch (cause) {
    case foundation::UserDefaults::UnreadableCause::TooManyKeys:
      return QStringLiteral("The settings file holds more entries than Velumar can read.");
    case foundation::UserDefaults::UnreadableCause::TooLargeToRead:
      return QStringLiteral("The settings file is too large to be read.");
    case foundation::UserDefaults::UnreadableCause::TooLargeToSave:
      return QStringLiteral("The settings file is too large to be saved again.");
    case foundation::UserDefaults::UnreadableCause::Damaged:
      break;
  }
  return QStringLiteral("The settings file is damaged.");
}

}  // namespace

SettingsAlerts::SettingsAlerts(foundation::UserDefaults& defaults, QObject* parent)
    : QObject(parent), defaults_(defaults) {
  writeFailedObserver_ = foundation::NotificationCenter::defaultCenter().addObserver(
      foundation::UserDefaults::kWriteFailedNotification, &defaults_,
      [this](const foundation::Notification&) {
        // Writes may fail on another thread; the alert shows on the main one.
        QMetaObject::invokeMethod(this, &SettingsAlerts::writeFailed, Qt::AutoConnection);
      });
}

void SettingsAlerts::checkAtLaunch() {
  if (const std::optional<std::string> keptAs = defaults_.unreadableFileKeptAs()) {
    const std::filesystem::path kept(*keptAs);
    unreadableAlert_ = showAlert(
        QStringLiteral("settingsUnreadableAlert"), QStringLiteral("Your settings could not be read."),
        unreadableCauseText(defaults_.unreadableCause()) +
            QStringLiteral(" Velumar starts with its default settings. The unreadable settings file is kept as "
                           "\u201C%1\u201D in %2.")
                .arg(fromPath(kept.filename().string()), fromPath(kept.parent_path().string())));
  }
  defaults_.canWrite();
}

void SettingsAlerts::writeFailed() {
  if (writeFailureShown_ || stopped_) return;
  writeFailureShown_ = true;
  const std::string folder = std::filesystem::path(defaults_.path()).parent_path().string();
  const QString cause =
      defaults_.lastWriteFailure() == foundation::UserDefaults::WriteFailure::TooLarge
          ? QStringLiteral("The settings are too large to be saved in %1.")
          : QStringLiteral("The folder %1 cannot be written.");
  notWritableAlert_ = showAlert(
      QStringLiteral("settingsNotWritableAlert"), QStringLiteral("Your settings will not be kept."),
      cause.arg(fromPath(folder)) + QStringLiteral(" Changes to the settings are lost when Velumar quits."));
}

QMessageBox* SettingsAlerts::showAlert(const QString& name, const QString& text, const QString& informative) {
  auto* alert = new QMessageBox(QMessageBox::Warning, QStringLiteral("Velumar"), {}, QMessageBox::Ok);
  alert->setObjectName(name);
  ui::setPlainTexts(*alert, text, informative);  // they name files and folders
  alert->setAttribute(Qt::WA_DeleteOnClose);
  alert->setWindowModality(Qt::ApplicationModal);
  alert->show();
  return alert;
}

}  // namespace velumar
