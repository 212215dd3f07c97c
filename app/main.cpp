// Starts the application: the Qt event loop as the main queue, the dark
// look, the converter and preview windows, and the launch and quit steps
// around the event loop.
#include <QApplication>
#include <QIcon>

#include "app/launch_steps.h"
#include "app/window_wiring.h"
#include "converter/converter_window.h"
#include "platform/foundation/main_loop.h"
#include "platform/foundation/user_defaults.h"
#include "platform/ui/dark_palette.h"
#include "platform/ui/qt_main_loop.h"
#include "preview/preview_window.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Velumar"));
  QApplication::setDesktopFileName(QStringLiteral("velumar"));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("velumar")));
  ui::applyDarkPalette(application);

  ui::QtMainLoop mainLoop;
  foundation::MainLoop::install(&mainLoop);

  int result = 0;
  {
    velumar::ConverterWindow window;
    velumar::PreviewWindow preview;
    velumar::wireWindowsAtLaunch(window, preview, foundation::UserDefaults::standard());
    window.show();
    velumar::runLaunchSteps(window);
    result = QApplication::exec();
    velumar::runQuitSteps();
  }
  foundation::MainLoop::install(nullptr);
  return result;
}
