// A chooser asked for from a popover has the keyboard as soon as it shows,
// under a window manager that gives a new dialog the focus only while the
// window it belongs to has it (icewm, on the test's X server).

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <string>

#include "converter/converter_view.h"
#include "converter/converter_window.h"
#include "platform/ui/popover.h"
#include "support/test_support.h"
#include "xdotool.h"

namespace velumar {
namespace {

bool windowManagerRunning() {
  QProcess xprop;
  xprop.start(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")});
  return xprop.waitForFinished(10000) && xprop.readAllStandardOutput().contains("window id");
}

// A click of the real pointer at a point of a widget.
bool click(QWidget* widget, QPoint point) {
  const QPoint at = widget->mapToGlobal(point);
  return xdotool({"mousemove", "--sync", QString::number(at.x()), QString::number(at.y()), "click", "1"});
}

TEST(ChooserFocus, AChooserAskedForFromAPopoverHasTheKeyboard) {
  if (!QFileInfo::exists(QStringLiteral("/usr/bin/icewm"))) GTEST_SKIP() << "icewm is not installed";
  testsupport::TempDir home;  // an empty home: the window manager's defaults
  QProcess manager;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("HOME"), QString::fromStdString(home.path().string()));
  manager.setProcessEnvironment(environment);
  manager.start(QStringLiteral("/usr/bin/icewm"), {});
  ASSERT_TRUE(QTest::qWaitFor(windowManagerRunning, 20000));

  ConverterWindow converter;
  converter.show();
  converter.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&converter, 20000));
  ConverterView& view = *converter.converterView();
  view.findChild<QCheckBox*>("saveStoreDirectoryCheck")->click();  // enables Choose
  using P = ConverterView::PopoverId;
  const std::pair<P, const char*> choosers[] = {{P::SaveTo, "selectFolderButton"},
                                                {P::LUT, "importLUTButton"},
                                                {P::CompositeOptions, "addCompositeImageButton"}};
  for (const auto& [id, buttonName] : choosers) {
    ui::Popover* popover = view.popover(id);
    QAbstractButton* chooserButton = popover->findChild<QAbstractButton*>(buttonName);
    popover->button()->setEnabled(true);
    popover->button()->click();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(popover)) << buttonName;
    // A click into its margin, and the window manager gives it the focus.
    ASSERT_TRUE(click(popover, QPoint(3, 3)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == popover; }, 20000))
        << buttonName;
    chooserButton->setEnabled(true);  // the composite chooser waits for a composite mode
    // The chooser runs an event loop of its own: it is watched from there,
    // and closed once it has the keyboard or after five seconds without.
    bool closed = false;
    bool hadKeyboard = false;
    std::string activeWindow;
    QElapsedTimer shownFor;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (!dialog || !dialog->isVisible()) return;
      if (!shownFor.isValid()) shownFor.start();
      QWidget* active = QApplication::activeWindow();
      hadKeyboard = active == dialog && dialog->isAncestorOf(QApplication::focusWidget());
      activeWindow = active ? active->metaObject()->className() : "none";
      if (hadKeyboard || shownFor.elapsed() > 5000) {
        dialog->reject();
        closed = true;
      }
    });
    watch.start(50);
    ASSERT_TRUE(click(chooserButton, chooserButton->rect().center()));
    EXPECT_TRUE(QTest::qWaitFor([&] { return closed; }, 20000)) << buttonName;
    EXPECT_TRUE(hadKeyboard) << buttonName << "; the active window was " << activeWindow;
    popover->close();
  }
  manager.kill();
  manager.waitForFinished();
}

}  // namespace
}  // namespace velumar
