// The import panel opens at home the first time, then where the last one
// was left or its choice made, also after a restart (the folder is kept in
// the settings), never in the process's working folder.
#include "app/import_panel.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>
#include <functional>
#include <memory>

#include "platform/foundation/user_defaults.h"
#include "support/test_support.h"

namespace velumar {
namespace {

// Each panel opens where the one before was left (cancelled) or where its
// choice was, also a typed one: the folder chosen, or the images' folder;
// settings read again after a restart keep it, other settings do not; a
// kept folder that is gone or not absolute opens the panel at home.
TEST(ImportPanel, OpensAtHomeThenWhereItWasLeftOrChosen) {
  testsupport::TempDir dir;
  const QString root = QDir(QString::fromStdString(dir.path().string())).canonicalPath();
  ASSERT_TRUE(QDir(root).mkpath("typed") && QDir(root).mkpath("pictures"));
  QFile(root + "/pictures/a.png").open(QIODevice::WriteOnly);
  ASSERT_NE(QDir::currentPath(), QDir::homePath());
  enum class Settings { Same, Restarted, Other };
  const struct {
    Settings settings;
    bool folder;
    QString typed, startsIn;  // nothing typed: left in root, cancelled
    QString kept = {};        // put in the settings before the panel opens
  } steps[] = {
      {Settings::Same, true, "", QDir::homePath()},
      {Settings::Same, true, root + "/typed", root},
      {Settings::Restarted, false, root + "/pictures/a.png", root + "/typed"},
      {Settings::Restarted, true, "", root + "/pictures"},
      {Settings::Other, true, "", QDir::homePath()},
      {Settings::Same, true, "", QDir::homePath(), root + "/removed"},
      {Settings::Same, true, "", QDir::homePath(), QDir::current().relativeFilePath(root + "/typed")}};
  auto defaults = std::make_unique<foundation::UserDefaults>(dir.file("velumar.plist"));
  for (const auto& step : steps) {
    if (step.settings == Settings::Restarted) {
      ASSERT_TRUE(defaults->synchronize());
      defaults = std::make_unique<foundation::UserDefaults>(dir.file("velumar.plist"));
    } else if (step.settings == Settings::Other) {
      defaults = std::make_unique<foundation::UserDefaults>(dir.file("other.plist"));
    }
    if (!step.kept.isEmpty())
      defaults->set(kImportFolderDefaultsKey, foundation::Value(step.kept.toStdString()));
    QString startedIn;
    std::function<void()> answer = [&] {
      for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* panel = qobject_cast<QFileDialog*>(top); panel && panel->isVisible()) {
          startedIn = panel->directory().absolutePath();
          panel->setDirectory(step.typed.isEmpty() ? root : QDir::homePath());
          if (step.typed.isEmpty()) return panel->reject();
          panel->findChild<QLineEdit*>("fileNameEdit")->setText(step.typed);
          QMetaObject::invokeMethod(panel, "accept");  // as the Accept button does
          return;
        }
      QTimer::singleShot(20, answer);
    };
    QTimer::singleShot(0, answer);
    EXPECT_EQ(runImportPanel(nullptr, {true, step.folder}, *defaults).has_value(), !step.typed.isEmpty());
    EXPECT_EQ(startedIn.toStdString(), step.startsIn.toStdString()) << step.typed.toStdString();
  }
}

}  // namespace
}  // namespace velumar
