#include "platform/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

namespace vorta {

namespace {
constexpr int kConnectTimeoutMs = 500;
const QByteArray kRaise = "raise\n";
}  // namespace

TSingleInstance::TSingleInstance(QString key) : key_(std::move(key)) {}

TSingleInstance::~TSingleInstance() = default;

QString TSingleInstance::KeyForFolder(const QString& folder) {
  // The user's runtime folder when the session has one; the socket itself is
  // made private to the user either way.
  QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (runtime.isEmpty() || !QDir(runtime).exists()) runtime = QDir::tempPath();
  const QByteArray hash =
      QCryptographicHash::hash(QDir(folder).absolutePath().toUtf8(), QCryptographicHash::Sha1)
          .toHex()
          .left(16);
  return QDir(runtime).filePath(QStringLiteral("vorta2-") + QString::fromLatin1(hash));
}

bool TSingleInstance::AskRunningCopyToRaise() {
  QLocalSocket socket;
  socket.connectToServer(key_);
  if (!socket.waitForConnected(kConnectTimeoutMs)) return false;
  socket.write(kRaise);
  socket.waitForBytesWritten(kConnectTimeoutMs);
  socket.disconnectFromServer();
  return true;
}

bool TSingleInstance::Listen() {
  server_ = std::make_unique<QLocalServer>();
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(key_)) {
    // A socket left behind by a copy that crashed: nobody answered on it.
    QLocalServer::removeServer(key_);
    if (!server_->listen(key_)) return false;
  }
  connect(server_.get(), &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* client = server_->nextPendingConnection()) {
      connect(client, &QLocalSocket::readyRead, client, [this, client] {
        if (client->readAll().contains("raise") && OnRaiseRequest) OnRaiseRequest();
      });
      connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
    }
  });
  return true;
}

}  // namespace vorta
