#pragma once
// The program run as the user runs it, in a home of its own: private
// configuration, data and runtime folders, settings written beforehand, an
// output folder, and sample images made by an independent tool.

#include <QProcess>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/value.h"
#include "support/test_support.h"

namespace velumar::apptest {

class AppHome {
 public:
  // Settings that make a batch write into output() without asking. Off
  // the desktop the program runs offscreen without a session bus.
  explicit AppHome(bool onDesktop = false);

  const std::filesystem::path& root() const { return dir_.path(); }
  std::filesystem::path config() const { return root() / "config"; }
  std::filesystem::path data() const { return root() / "data"; }
  std::filesystem::path runtime() const { return root() / "runtime"; }
  std::filesystem::path output() const { return root() / "out"; }
  std::filesystem::path tempData() const { return data() / "velumar" / "TempData"; }
  std::filesystem::path settingsFile() const { return config() / "velumar" / "velumar.plist"; }
  QProcessEnvironment environment() const;

  // A small JPEG made by ImageMagick under root()/name.
  std::filesystem::path makeJpeg(const std::string& name) const;
  // An EPS under root()/name whose rendering takes about seconds: a batch
  // that runs a while.
  std::filesystem::path makeSlowEps(const std::string& name, int seconds) const;

  // Starts the program with arguments; nullptr when it did not start.
  std::unique_ptr<QProcess> start(const QStringList& arguments = {}) const;
  // Starts it and waits until it listens for later starts.
  std::unique_ptr<QProcess> startPrimary(const QStringList& arguments = {}) const;
  // Runs a program to its end; its exit code, -1 when it failed to end.
  int run(const QString& program, const QStringList& arguments, int timeoutMs = 20000) const;

 private:
  testsupport::TempDir dir_;
  bool onDesktop_;
};

// Waits up to timeoutMs for condition, running the event loop meanwhile.
bool waitFor(const std::function<bool()>& condition, int timeoutMs = 20000);

}  // namespace velumar::apptest
