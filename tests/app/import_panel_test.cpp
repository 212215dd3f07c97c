// The import panel opens at home the first time, then where the last one
// was left or its choice made, never in the process's working folder.
#include "app/import_panel.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>
#include <functional>

#include "support/test_support.h"

namespace velumar {
namespace {

// Each panel opens where the one before was left (cancelled) or where its
// choice was, also a typed one: the folder chosen, or the images' folder.
TEST(ImportPanel, OpensAtHomeThenWhereItWasLeftOrChosen) {
  testsupport::TempDir dir;
  const QString root = QDir(QString::fromStdString(dir.path().string())).canonicalPath();
  ASSERT_TRUE(QDir(root).mkpath("typed") && QDir(root).mkpath("pictures"));
  QFile(root + "/pictures/a.png").open(QIODevice::WriteOnly);
  ASSERT_NE(QDir::currentPath(), QDir::homePath());
  const struct {
    bool folder;
    QString typed, startsIn;  // nothing typed: left in root, cancelled
  } steps[] = {{true, "", QDir::homePath()},
               {true, root + "/typed", root},
               {false, root + "/pictures/a.png", root + "/typed"},
               {true, "", root + "/pictures"}};
  for (const auto& step : steps) {
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
    EXPECT_EQ(runImportPanel(nullptr, {true, step.folder}).has_value(), !step.typed.isEmpty());
    EXPECT_EQ(startedIn, step.startsIn) << step.typed.toStdString();
  }
}

}  // namespace
}  // namespace velumar
