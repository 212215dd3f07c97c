// Starts the application: one instance per user (a later start hands its
// files to the running one), the Qt event loop as the main queue, the
// windows and the delegate's launch, quit and termination signals.
#include <QApplication>
#include <QIcon>
#include <QPalette>

#include <clocale>

#include "app/app_delegate.h"
#include "app/command_line.h"
#include "app/exit_steps.h"
#include "app/instance_message.h"
#include "app/launch_steps.h"
#include "app/single_instance.h"
#include "app/termination_signals.h"
#include "app/wayland_input_method.h"
#include "platform/foundation/log.h"
#include "platform/foundation/main_loop.h"
#include "platform/foundation/user_defaults.h"
#include "platform/ui/dark_palette.h"
#include "platform/ui/qt_main_loop.h"

int main(int argc, char** argv) {
  velumar::avoidSeatlessInputMethod();
  velumar::CommandLine commandLine(argc, argv);
  QApplication application(commandLine.toolkitArgc(), commandLine.toolkitArgv());
  // Qt took the C library's locale from the environment; numbers written
  // into files and handed to other programs need the C one. What the user
  // reads and types follows the user's locale through ICU, not this.
  std::setlocale(LC_NUMERIC, "C");
  QApplication::setApplicationName(QStringLiteral("Velumar"));
  QApplication::setDesktopFileName(QStringLiteral("velumar"));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("velumar")));

  const std::vector<std::string> files =
      velumar::SingleInstance::absolutePaths(commandLine.files());
  velumar::SingleInstance instance;
  if (!instance.claim()) {
    using Handover = velumar::SingleInstance::Handover;
    switch (instance.sendToRunningInstance(files)) {
      case Handover::Delivered: return 0;
      case Handover::Refused:
        foundation::log("The files were not opened: Velumar is running a conversion. Open them again when it "
                        "has finished.");
        return 1;
      case Handover::TooLarge:
        foundation::log("The files were not opened: {} paths are more than the running Velumar takes at once "
                        "(at most {} paths and {} KiB). Open fewer at a time, or open their folder.",
                        files.size(), velumar::kInstanceMessageMaxPaths, velumar::kInstanceMessageMaxBytes / 1024);
        return 1;
      case Handover::NoAnswer: break;
    }
    foundation::log("Velumar is running but does not answer");
    return 1;
  }
  // Signals that come during launch wait in the pipe for the event loop.
  velumar::TerminationSignals terminationSignals;

  // The desktop's own palette tells light from dark when the portal cannot.
  const bool paletteIsDark = QApplication::palette().color(QPalette::Window).lightness() < 128;
  ui::applyDarkPalette(application);
  ui::QtMainLoop mainLoop;
  foundation::MainLoop::install(&mainLoop);

  int result = 0;
  {
    velumar::AppDelegate delegate(foundation::UserDefaults::standard(), paletteIsDark);
    QObject::connect(&terminationSignals, &velumar::TerminationSignals::received, &delegate,
                     &velumar::AppDelegate::terminationRequested);
    // Only files are refused during a conversion: a start without files
    // just brings the converter forward.
    instance.setRefusal([&delegate](const std::vector<std::string>& paths) {
      return !paths.empty() && delegate.isProcessing();
    });
    QObject::connect(&instance, &velumar::SingleInstance::filesRefused, &delegate,
                     &velumar::AppDelegate::refuseFilesDuringConversion);
    QObject::connect(&instance, &velumar::SingleInstance::filesReceived, &delegate,
                     [&delegate](const std::vector<std::string>& paths) {
                       delegate.showBringToFrontAppFrom();
                       delegate.openFiles(paths);
                     });
    QObject::connect(&application, &QCoreApplication::aboutToQuit, &delegate,
                     &velumar::AppDelegate::applicationWillTerminate);
    velumar::armExitSteps([&delegate] { delegate.endAtExit(); });
    delegate.launch();
    instance.listen();
    delegate.openFiles(files);
    result = QApplication::exec();
    velumar::armExitSteps(nullptr);
    // The loop has ended: whatever still waits for it stops waiting.
    foundation::MainLoop::close();
    velumar::runQuitSteps();
  }
  foundation::MainLoop::install(nullptr);
  return result;
}
