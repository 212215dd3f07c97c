#pragma once
// SIGTERM, SIGHUP and SIGINT reach the event loop through a self-pipe: the
// handler only writes the signal number, and the main thread emits
// received() when it reads it.

#include <QObject>

class QSocketNotifier;

namespace velumar {

class TerminationSignals : public QObject {
  Q_OBJECT

 public:
  // Installs the handlers; one instance per process.
  explicit TerminationSignals(QObject* parent = nullptr);
  ~TerminationSignals() override;

  bool isInstalled() const { return notifier_ != nullptr; }

 signals:
  void received(int signalNumber);

 private:
  void readSignal();

  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace velumar
