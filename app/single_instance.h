#pragma once
// One running instance per user: the first start claims a lock file in the
// runtime folder and listens on a local socket beside it; a later start
// finds the lock taken and hands its files to the first over the socket.
// A lock left by a crashed instance is stale and is taken over, and its
// socket removed.

#include <QObject>
#include <QString>
#include <memory>
#include <string>
#include <vector>

class QLocalServer;
class QLockFile;

namespace velumar {

class SingleInstance : public QObject {
  Q_OBJECT

 public:
  // Lock and socket live in folder ($XDG_RUNTIME_DIR by default).
  explicit SingleInstance(QString folder = {}, QObject* parent = nullptr);
  ~SingleInstance() override;

  // True when this process is now the running instance (also when the
  // runtime folder is unusable: then it runs on its own and never listens).
  bool claim();
  // The running instance starts to take later starts' files (once it can
  // handle them); a socket left by a crashed instance is replaced.
  bool listen();
  // Sends paths to the running instance, waiting for it to finish its
  // launch; false when none answered.
  bool sendToRunningInstance(const std::vector<std::string>& paths, int timeoutMs = 10000) const;

  QString socketPath() const;
  QString lockPath() const;

  // The arguments as absolute paths (file: URLs become their paths);
  // symbolic links are kept.
  static std::vector<std::string> absolutePaths(const QStringList& arguments);

 signals:
  // A later start's files, on the main thread.
  void filesReceived(const std::vector<std::string>& paths);

 private:
  void acceptConnection();

  QString folder_;
  std::unique_ptr<QLockFile> lock_;
  QLocalServer* server_ = nullptr;
};

}  // namespace velumar
