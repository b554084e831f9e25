#include "platform/SingleInstance.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <cerrno>

namespace vorta {

namespace {
constexpr int kConnectTimeoutMs = 500;
const QByteArray kRaise = "raise\n";

// A folder of the temporary folder that only this user can enter. Anyone may
// create a name in the temporary folder first: a folder that is not a
// directory of this user's is refused, never used.
QString PrivateRuntimeFolder(QString* problem, bool create) {
  const uid_t uid = ::getuid();
  QString path = QDir(QDir::tempPath()).filePath(QStringLiteral("vorta-%1").arg(uid));
  const QByteArray native = QFile::encodeName(path);
  // Only a copy that listens makes it: one that asks finds the folder there.
  if (!create) {
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0) return {};
  } else if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
    if (problem != nullptr) {
      *problem = QCoreApplication::translate(
                     "vorta::SingleInstance",
                     "Проверка второй копии программы отключена: не удалось создать "
                     "папку %1. Программа продолжает работу.")
                     .arg(path);
    }
    return {};
  }
  struct stat st {};
  if (::lstat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != uid) {
    if (problem != nullptr) {
      *problem = QCoreApplication::translate(
                     "vorta::SingleInstance",
                     "Проверка второй копии программы отключена: папка %1 не "
                     "принадлежит текущему пользователю. Программа продолжает работу.")
                     .arg(path);
    }
    return {};
  }
  if ((st.st_mode & 077) != 0) ::chmod(native.constData(), 0700);
  return path;
}

bool PeerIsThisUser(const QLocalSocket& socket) {
  ucred cred{};
  socklen_t len = sizeof cred;
  return ::getsockopt(static_cast<int>(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &cred,
                      &len) == 0 &&
         cred.uid == ::getuid();
}

}  // namespace

TSingleInstance::TSingleInstance(QString key, QString problem)
    : key_(std::move(key)), problem_(std::move(problem)) {}

TSingleInstance::~TSingleInstance() = default;

std::unique_ptr<TSingleInstance> TSingleInstance::ForFolder(const QString& folder, bool toListen) {
  QString problem;
  QString key = KeyForFolder(folder, &problem, toListen);
  return std::make_unique<TSingleInstance>(std::move(key), std::move(problem));
}

QString TSingleInstance::KeyForFolder(const QString& folder, QString* problem, bool create) {
  QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (runtime.isEmpty() || !QDir(runtime).exists()) {
    runtime = PrivateRuntimeFolder(problem, create);
    if (runtime.isEmpty()) return {};
  }
  QString path = QDir(folder).canonicalPath();
  if (path.isEmpty()) path = QDir(folder).absolutePath();
  const QByteArray hash =
      QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
  return QDir(runtime).filePath(QStringLiteral("vorta2-") + QString::fromLatin1(hash));
}

bool TSingleInstance::AskRunningCopyToRaise() {
  if (key_.isEmpty()) return false;
  QLocalSocket socket;
  socket.connectToServer(key_);
  if (!socket.waitForConnected(kConnectTimeoutMs)) return false;
  if (!PeerIsThisUser(socket)) {
    socket.abort();
    problem_ = QCoreApplication::translate(
                   "vorta::SingleInstance",
                   "Канал %1 открыт программой другого пользователя; она не считается "
                   "копией этой программы. Программа продолжает работу.")
                   .arg(key_);
    return false;
  }
  socket.write(kRaise);
  socket.waitForBytesWritten(kConnectTimeoutMs);
  socket.disconnectFromServer();
  return true;
}

bool TSingleInstance::Listen() {
  if (key_.isEmpty()) return false;
  server_ = std::make_unique<QLocalServer>();
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(key_)) {
    // A socket left behind by a copy that crashed (nobody answered on it), or
    // one of another user's that was not taken for a copy.
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
