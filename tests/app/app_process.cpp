#include "tests/app/app_process.h"

#include <QCoreApplication>
#include <QTest>
#include <fstream>

#include "platform/foundation/user_defaults.h"

namespace velumar::apptest {

namespace fs = std::filesystem;

AppHome::AppHome(bool onDesktop) : onDesktop_(onDesktop) {
  for (const fs::path& folder : {config(), data(), runtime(), output()}) fs::create_directories(folder);
  fs::permissions(runtime(), fs::perms::owner_all);
  foundation::UserDefaults defaults(settingsFile().string());
  defaults.set("SavingType", 1);
  defaults.set("FilePath", output().string());
  defaults.set("LoadFileOptionsFromPreset", false);
  defaults.synchronize();
}

QProcessEnvironment AppHome::environment() const {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(config().string()));
  environment.insert(QStringLiteral("XDG_DATA_HOME"), QString::fromStdString(data().string()));
  environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(runtime().string()));
  if (!onDesktop_) {
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
  }
  return environment;
}

fs::path AppHome::makeJpeg(const std::string& name) const {
  const fs::path file = root() / name;
  fs::create_directories(file.parent_path());
  testsupport::runCommand({"/usr/bin/convert", "-size", "24x16", "gradient:red-blue", file.string()});
  return file;
}

fs::path AppHome::makeSlowEps(const std::string& name, int seconds) const {
  const fs::path file = root() / name;
  fs::create_directories(file.parent_path());
  std::ofstream(file) << "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 16 16\n"
                      << "realtime /start exch def { realtime start sub " << seconds * 1000
                      << " gt { exit } if } loop\n1 0 0 setrgbcolor 0 0 16 16 rectfill showpage\n";
  return file;
}

std::unique_ptr<QProcess> AppHome::start(const QStringList& arguments) const {
  auto process = std::make_unique<QProcess>();
  process->setProcessEnvironment(environment());
  process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
  process->start(QStringLiteral(VELUMAR_APP_BINARY), arguments);
  if (!process->waitForStarted(10000)) return nullptr;
  return process;
}

std::unique_ptr<QProcess> AppHome::startPrimary(const QStringList& arguments) const {
  auto process = start(arguments);
  if (!process) return nullptr;
  // Listening once the lock names this process and the socket is there.
  const fs::path socket = runtime() / "velumar.socket";
  const std::string pid = std::to_string(process->processId());
  const bool listening = waitFor([&] {
    std::ifstream lock(runtime() / "velumar.lock");
    std::string owner;
    return std::getline(lock, owner) && owner == pid && fs::exists(socket);
  });
  return listening ? std::move(process) : nullptr;
}

int AppHome::run(const QString& program, const QStringList& arguments, int timeoutMs) const {
  QProcess process;
  process.setProcessEnvironment(environment());
  process.setProcessChannelMode(QProcess::ForwardedChannels);
  process.start(program, arguments);
  if (!process.waitForFinished(timeoutMs) || process.exitStatus() != QProcess::NormalExit) {
    process.kill();
    process.waitForFinished();
    return -1;
  }
  return process.exitCode();
}

bool waitFor(const std::function<bool()>& condition, int timeoutMs) {
  return QTest::qWaitFor(condition, timeoutMs);
}

}  // namespace velumar::apptest
