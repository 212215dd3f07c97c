// The import panel opens at home the first time, then in the folder it was
// left in, never in the process's working folder.
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

TEST(ImportPanel, OpensAtHomeThenWhereItWasLeft) {
  testsupport::TempDir visited;
  const QString folder = QDir(QString::fromStdString(visited.path().string())).canonicalPath();
  ASSERT_NE(QDir::currentPath(), QDir::homePath());
  for (const QString& expected : {QDir::homePath(), folder}) {
    QString startedIn;
    std::function<void()> answer = [&] {
      for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* panel = qobject_cast<QFileDialog*>(top); panel && panel->isVisible()) {
          startedIn = panel->directory().absolutePath();
          panel->setDirectory(folder);
          panel->reject();
          return;
        }
      QTimer::singleShot(20, answer);
    };
    QTimer::singleShot(0, answer);
    EXPECT_FALSE(runImportPanel(nullptr, {true, true}));
    EXPECT_EQ(startedIn, expected);
  }
}

// Runs the panel once, answered by act once it is up; returns the folder
// it opened in.
QString runPanel(bool folder, const std::function<void(QFileDialog&)>& act) {
  QString startedIn;
  std::function<void()> answer = [&] {
    for (QWidget* top : QApplication::topLevelWidgets())
      if (auto* panel = qobject_cast<QFileDialog*>(top); panel && panel->isVisible()) {
        startedIn = panel->directory().absolutePath();
        act(*panel);
        return;
      }
    QTimer::singleShot(20, answer);
  };
  QTimer::singleShot(0, answer);
  (void)runImportPanel(nullptr, {true, folder});
  return startedIn;
}

// A choice typed into the panel decides where the next panel opens: the
// folder chosen, or the folder of the images chosen.
TEST(ImportPanel, OpensWhereTheTypedChoiceWas) {
  testsupport::TempDir dir;
  const QString root = QDir(QString::fromStdString(dir.path().string())).canonicalPath();
  ASSERT_TRUE(QDir(root).mkpath("typed") && QDir(root).mkpath("pictures"));
  QFile(root + "/pictures/a.png").open(QIODevice::WriteOnly);
  const struct {
    bool folder;
    QString typed, opensIn;
  } rows[] = {{true, root + "/typed", root + "/typed"}, {false, root + "/pictures/a.png", root + "/pictures"}};
  for (const auto& row : rows) {
    runPanel(row.folder, [&](QFileDialog& panel) {
      panel.setDirectory(QDir::homePath());
      panel.findChild<QLineEdit*>("fileNameEdit")->setText(row.typed);
      QMetaObject::invokeMethod(&panel, "accept");  // as the Accept button does
    });
    EXPECT_EQ(runPanel(row.folder, [](QFileDialog& panel) { panel.reject(); }), row.opensIn) << row.folder;
  }
}

}  // namespace
}  // namespace velumar
