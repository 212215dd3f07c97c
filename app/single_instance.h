#pragma once
// One running instance per user: the first start claims a lock file in the
// runtime folder and listens on a local socket beside it; a later start
// finds the lock taken and hands its files to the first over the socket.
// A lock left by a crashed instance is stale and is taken over, and its
// socket removed. The running instance answers each hand-over with one
// byte: '1' taken, '0' refused.

#include <QObject>
#include <QString>
#include <functional>
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
  // How a hand-over of files to the running instance ended.
  enum class Handover {
    Delivered,  // the running instance took the files
    Refused,    // it is converting and did not open them
    TooLarge,   // too many paths or bytes to send (see instance_message.h)
    NoAnswer,   // no instance answered
  };
  // Sends paths to the running instance, waiting for it to finish its
  // launch, and waits for its answer.
  Handover sendToRunningInstance(const std::vector<std::string>& paths, int timeoutMs = 10000) const;
  // Asked for each later start's files (none for a start without files):
  // true refuses them (a conversion runs); the later start is told so and
  // they are announced as refused.
  using Refusal = std::function<bool(const std::vector<std::string>& paths)>;
  void setRefusal(Refusal refuses) { refuses_ = std::move(refuses); }

  QString socketPath() const;
  QString lockPath() const;

  // The arguments as absolute paths (file: URLs become their paths);
  // symbolic links are kept.
  static std::vector<std::string> absolutePaths(const QStringList& arguments);

 signals:
  // A later start's files, on the main thread.
  void filesReceived(const std::vector<std::string>& paths);
  // A later start's files that were refused, on the main thread.
  void filesRefused(const std::vector<std::string>& paths);

 private:
  void acceptConnection();

  QString folder_;
  std::unique_ptr<QLockFile> lock_;
  QLocalServer* server_ = nullptr;
  Refusal refuses_;
};

}  // namespace velumar
