// The import panel opens at home the first time, then in the folder it was
// left in, never in the process's working folder.
#include "app/import_panel.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
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

}  // namespace
}  // namespace velumar
