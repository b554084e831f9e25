#include "platform/ControlSocket.h"

#include <grp.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <vector>

namespace vorta {

namespace {

// A request is a few words; anything longer is not one.
constexpr qint64 kMaxRequest = qint64{64} * 1024;

QString UserName(uid_t uid) {
  if (const passwd* pw = ::getpwuid(uid); pw != nullptr && pw->pw_name != nullptr) {
    return QString::fromLocal8Bit(pw->pw_name);
  }
  return QString::number(uid);
}

QByteArray ReplyBytes(const TControlReply& reply) {
  QJsonObject o;
  o[QLatin1String("exit")] = reply.Exit;
  o[QLatin1String("out")] = reply.Out;
  return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}

}  // namespace

bool MayOperate(uid_t uid, gid_t folderGid) {
  if (uid == 0 || uid == ::geteuid()) return true;
  const passwd* pw = ::getpwuid(uid);
  if (pw == nullptr) return false;
  if (pw->pw_gid == folderGid) return true;
  int count = 64;
  std::vector<gid_t> groups(static_cast<size_t>(count));
  if (::getgrouplist(pw->pw_name, pw->pw_gid, groups.data(), &count) < 0) {
    groups.resize(static_cast<size_t>(count));
    if (::getgrouplist(pw->pw_name, pw->pw_gid, groups.data(), &count) < 0) return false;
  }
  groups.resize(static_cast<size_t>(count));
  for (const gid_t g : groups) {
    if (g == folderGid) return true;
  }
  return false;
}

TControlServer::TControlServer(QString folder, THandler handler)
    : folder_(std::move(folder)),
      path_(QDir(folder_).filePath(kControlSocketName)),
      handler_(std::move(handler)) {}

TControlServer::~TControlServer() {
  if (server_) server_->close();
}

bool TControlServer::Listen(QString* error) {
  server_ = std::make_unique<QLocalServer>();
  server_->setSocketOptions(QLocalServer::UserAccessOption | QLocalServer::GroupAccessOption);
  QLocalServer::removeServer(path_);
  if (!server_->listen(path_)) {
    *error = QStringLiteral("Не удалось открыть канал управления %1: %2")
                 .arg(path_, server_->errorString());
    server_.reset();
    return false;
  }
  // The folder's group, not the program's, decides who may operate it.
  struct stat folder {};
  if (::stat(QFile::encodeName(folder_).constData(), &folder) == 0) {
    [[maybe_unused]] const int changed =
        ::chown(QFile::encodeName(path_).constData(), static_cast<uid_t>(-1), folder.st_gid);
  }
  connect(server_.get(), &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
      connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      connect(socket, &QLocalSocket::readyRead, this, [this, socket] { Serve(socket); });
    }
  });
  return true;
}

void TControlServer::Serve(QLocalSocket* socket) {
  if (!socket->canReadLine()) {
    if (socket->bytesAvailable() > kMaxRequest) socket->abort();
    return;
  }
  const QByteArray line = socket->readLine(kMaxRequest);
  TControlReply reply;
  ucred peer{};
  socklen_t length = sizeof peer;
  struct stat folder {};
  const bool known = ::getsockopt(static_cast<int>(socket->socketDescriptor()), SOL_SOCKET,
                                  SO_PEERCRED, &peer, &length) == 0 &&
                     ::stat(QFile::encodeName(folder_).constData(), &folder) == 0;
  const QJsonObject o = QJsonDocument::fromJson(line).object();
  if (!known || !MayOperate(peer.uid, folder.st_gid)) {
    reply = {kControlNoAccess,
             QStringLiteral("Нет права управлять этой копией: нужна группа папки")};
  } else if (!o.value(QLatin1String("args")).isArray()) {
    reply = {kControlUsage, QStringLiteral("Непонятный запрос")};
  } else {
    TControlRequest request;
    for (const QJsonValue v : o.value(QLatin1String("args")).toArray())
      request.Args << v.toString();
    request.Json = o.value(QLatin1String("json")).toBool();
    request.Uid = peer.uid;
    request.User = UserName(peer.uid);
    reply = handler_(request);
  }
  socket->write(ReplyBytes(reply));
  socket->flush();
  socket->disconnectFromServer();
}

TControlReply SendControlCommand(const QString& folder, const QStringList& args, bool json,
                                 int timeoutMs) {
  const QString path = QDir(folder).filePath(kControlSocketName);
  QLocalSocket socket;
  socket.connectToServer(path);
  if (!socket.waitForConnected(timeoutMs)) {
    if (socket.error() == QLocalSocket::SocketAccessError) {
      return {
          kControlNoAccess,
          QStringLiteral("Нет доступа к %1: управлять копией могут члены группы папки").arg(path)};
    }
    return {kControlNoCopy, QStringLiteral("На папке %1 не работает копия программы (%2)")
                                .arg(QDir(folder).absolutePath(), socket.errorString())};
  }
  QJsonObject request;
  request[QLatin1String("args")] = QJsonArray::fromStringList(args);
  request[QLatin1String("json")] = json;
  socket.write(QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n');
  QByteArray answer;
  while (!answer.endsWith('\n') && answer.size() < qint64{64} * 1024 * 1024) {
    if (!socket.waitForReadyRead(timeoutMs)) break;
    answer += socket.readAll();
  }
  const QJsonObject o = QJsonDocument::fromJson(answer).object();
  if (!o.contains(QLatin1String("exit"))) {
    return {kControlNoCopy, QStringLiteral("Копия программы на %1 не ответила").arg(folder)};
  }
  return {o.value(QLatin1String("exit")).toInt(), o.value(QLatin1String("out")).toString()};
}

}  // namespace vorta
