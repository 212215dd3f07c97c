#include "app/single_instance.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include "app/instance_message.h"
#include "platform/foundation/files.h"
#include "platform/foundation/log.h"

namespace velumar {

namespace {

// A connection that has not sent its message within this time is dropped.
constexpr int kConnectionTimeoutMs = 5000;

}  // namespace

SingleInstance::SingleInstance(QString folder, QObject* parent)
    : QObject(parent), folder_(std::move(folder)) {
  if (folder_.isEmpty()) folder_ = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::socketPath() const {
  return QDir(folder_).filePath(QStringLiteral("velumar.socket"));
}

QString SingleInstance::lockPath() const {
  return QDir(folder_).filePath(QStringLiteral("velumar.lock"));
}

bool SingleInstance::claim() {
  QDir().mkpath(folder_);
  // The lock file is read when it exists: anything there but a regular file
  // (a FIFO would block the read for good) leaves this start on its own.
  const std::string lock = QFile::encodeName(lockPath()).toStdString();
  struct stat info {};
  if (::lstat(lock.c_str(), &info) == 0 && !foundation::isReadableRegularFile(lock)) {
    foundation::log("Cannot take {}: running without taking files from later starts", lock);
    return true;
  }
  lock_ = std::make_unique<QLockFile>(lockPath());
  // Only a dead owner makes the lock stale, never its age.
  lock_->setStaleLockTime(0);
  if (lock_->tryLock(0)) return true;
  const bool heldByAnother = lock_->error() == QLockFile::LockFailedError;
  lock_.reset();
  if (heldByAnother) return false;
  // Without a usable runtime folder this start runs on its own.
  foundation::log("Cannot take {}: running without taking files from later starts", lockPath().toStdString());
  return true;
}

bool SingleInstance::listen() {
  if (!lock_ || server_) return false;
  // The lock is ours, so a socket left behind belongs to a crashed instance.
  QLocalServer::removeServer(socketPath());
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(socketPath())) {
    foundation::log("Cannot listen for other starts on {}: {}", socketPath().toStdString(),
                    server_->errorString().toStdString());
    return false;
  }
  connect(server_, &QLocalServer::newConnection, this, &SingleInstance::acceptConnection);
  return true;
}

void SingleInstance::acceptConnection() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    auto reader = std::make_shared<InstanceMessageReader>();
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    QTimer::singleShot(kConnectionTimeoutMs, socket, [socket] { socket->abort(); });
    connect(socket, &QLocalSocket::readyRead, this, [this, socket, reader] {
      const QByteArray bytes = socket->readAll();
      const auto status = reader->feed(bytes.constData(), std::size_t(bytes.size()));
      if (status == InstanceMessageReader::Status::NeedMore) return;
      if (status != InstanceMessageReader::Status::Complete) return socket->disconnectFromServer();
      // The answer goes out before the files are handled, so the later
      // start never waits on a dialog of this instance.
      const bool refused = refuses_ && refuses_(reader->paths());
      socket->write(refused ? "0" : "1", 1);
      socket->flush();
      socket->disconnectFromServer();
      if (refused)
        emit filesRefused(reader->paths());
      else
        emit filesReceived(reader->paths());
    });
  }
}

SingleInstance::Handover SingleInstance::sendToRunningInstance(const std::vector<std::string>& paths,
                                                               int timeoutMs) const {
  const std::optional<std::string> message = encodeInstanceMessage(paths);
  if (!message) return Handover::TooLarge;
  QLocalSocket socket;
  // The running instance may still be starting: try again for a while.
  for (int waited = 0;; waited += 100) {
    socket.connectToServer(socketPath());
    if (socket.waitForConnected(timeoutMs)) break;
    if (waited >= timeoutMs) return Handover::NoAnswer;
    QThread::msleep(100);
  }
  socket.write(message->data(), qint64(message->size()));
  if (!socket.waitForBytesWritten(timeoutMs)) return Handover::NoAnswer;
  // The instance answers once it has the whole message, then closes.
  while (socket.bytesAvailable() < 1 && socket.state() == QLocalSocket::ConnectedState)
    if (!socket.waitForReadyRead(timeoutMs)) break;
  char answer = 0;
  if (socket.read(&answer, 1) != 1) return Handover::NoAnswer;
  return answer == '0' ? Handover::Refused : Handover::Delivered;
}

std::vector<std::string> SingleInstance::absolutePaths(const QStringList& arguments) {
  std::vector<std::string> paths;
  for (const QString& argument : arguments) {
    QString path = argument;
    if (argument.startsWith(QStringLiteral("file:"))) path = QUrl(argument).toLocalFile();
    if (path.isEmpty()) continue;
    const QByteArray encoded = QFile::encodeName(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    paths.emplace_back(encoded.constData(), std::size_t(encoded.size()));
  }
  return paths;
}

}  // namespace velumar
