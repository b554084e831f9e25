#include "platform/ControlSocket.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/SystemNames.h"

namespace vorta {

// A text as written (Russian) and as shown (the operator's language).
struct TControlTexts {
  QString Recorded;
  QString Shown;
};

namespace {

// A request is a few words; anything longer is not one.
constexpr qint64 kMaxRequest = qint64{64} * 1024;
// What a caller may take to read its reply before the connection is dropped.
constexpr int kReplyMs = 10'000;
// Quiet time after which a new overload is told again.
constexpr qint64 kOverloadEpisodeMs = 60'000;

constexpr char kContext[] = "vorta::ControlSocket";
// The directory a socket is made in, then this and random letters.
const QString kPrivatePrefix = QStringLiteral(".Vorta.ctl.");
const char* const kOverloadText = QT_TRANSLATE_NOOP(
    "vorta::ControlSocket", "Канал управления %1 перегружен: %2; лишние соединения закрываются");
const char* const kNoDescriptors =
    QT_TRANSLATE_NOOP("vorta::ControlSocket", "у программы кончились дескрипторы файлов");
const char* const kTooMany = QT_TRANSLATE_NOOP("vorta::ControlSocket", "открыто соединений: %1");
const char* const kTooManyOfUser =
    QT_TRANSLATE_NOOP("vorta::ControlSocket", "у пользователя %1 открыто соединений: %2");
const char* const kGroupNotGiven = QT_TRANSLATE_NOOP(
    "vorta::ControlSocket",
    "Канал управления %1 остался в группе программы: отдать его группе папки %2 не удалось "
    "(%3); сделайте папку setgid (chmod g+s)");

TControlTexts Texts(const char* pattern, const QStringList& args) {
  TControlTexts t{QString::fromUtf8(pattern), QCoreApplication::translate(kContext, pattern)};
  for (const QString& a : args) {
    t.Recorded = t.Recorded.arg(a);
    t.Shown = t.Shown.arg(a);
  }
  return t;
}

QByteArray ReplyBytes(const TControlReply& reply) {
  QJsonObject o;
  o[QLatin1String("exit")] = reply.Exit;
  o[QLatin1String("out")] = reply.Out;
  if (!reply.Data.isNull()) o[QLatin1String("data")] = reply.Data;
  if (!reply.Time.isEmpty()) o[QLatin1String("time")] = reply.Time;
  return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}

// What a directory entry is, for a message.
QString KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return QStringLiteral("каталог");
  if (S_ISLNK(mode)) return QStringLiteral("символьная ссылка");
  if (S_ISREG(mode)) return QStringLiteral("обычный файл");
  if (S_ISFIFO(mode)) return QStringLiteral("канал FIFO");
  return QStringLiteral("не сокет");
}

// A socket address for `path`; a path too long for one is reached through
// the descriptor of its folder.
bool SocketAddress(const QByteArray& path, int folderFd, const char* name, sockaddr_un* address) {
  *address = {};
  address->sun_family = AF_UNIX;
  QByteArray target = path;
  if (target.size() >= static_cast<qsizetype>(sizeof address->sun_path)) {
    if (folderFd < 0) return false;
    target = "/proc/self/fd/" + QByteArray::number(folderFd) + '/' + name;
  }
  if (target.size() >= static_cast<qsizetype>(sizeof address->sun_path)) return false;
  std::memcpy(address->sun_path, target.constData(), static_cast<size_t>(target.size()));
  return true;
}

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
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
      handler_(std::move(handler)),
      clock_(std::make_unique<QElapsedTimer>()) {
  clock_->start();
}

TControlServer::~TControlServer() {
  notifier_.reset();
  for (auto& [socket, uid] : peers_) {
    QObject::disconnect(socket, nullptr, this, nullptr);
    delete socket;
  }
  peers_.clear();
  // Only our own socket goes: a file put in its place since is left alone.
  struct stat st {};
  if (folderFd_ >= 0 && listenFd_ >= 0 &&
      ::fstatat(folderFd_, "Vorta.ctl", &st, AT_SYMLINK_NOFOLLOW) == 0 && st.st_dev == socketDev_ &&
      st.st_ino == socketIno_) {
    ::unlinkat(folderFd_, "Vorta.ctl", 0);
  }
  CloseFd(listenFd_);
  CloseFd(spareFd_);
  CloseFd(folderFd_);
}

bool TControlServer::Listen(QString* error) {
  const QString path = QDir(folder_).filePath(kControlSocketName);
  const auto fail = [&](const QString& what, int code) {
    *error = QStringLiteral("Не удалось открыть канал управления %1: %2: %3")
                 .arg(path, what, SystemReason(code));
    return false;
  };
  folderFd_ = ::open(QFile::encodeName(folder_).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd_ < 0) return fail(QStringLiteral("папка"), errno);
  struct stat folder {};
  if (::fstat(folderFd_, &folder) != 0) return fail(QStringLiteral("папка"), errno);
  RemoveLeftPrivateDirectories();

  // A directory only this user can change: the socket gets its group and
  // mode there, where no one else can put a link in its place.
  QByteArray privateName;
  for (int attempt = 0; attempt < 16 && privateName.isEmpty(); ++attempt) {
    const QByteArray name = QFile::encodeName(kPrivatePrefix) +
                            QByteArray::number(QRandomGenerator::system()->generate64(), 36);
    if (::mkdirat(folderFd_, name.constData(), 0700) == 0) {
      privateName = name;
    } else if (errno != EEXIST) {
      return fail(QStringLiteral("временный каталог"), errno);
    }
  }
  if (privateName.isEmpty()) return fail(QStringLiteral("временный каталог"), EEXIST);
  int privateFd =
      ::openat(folderFd_, privateName.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  const auto dropPrivate = [&] {
    if (privateFd >= 0) ::unlinkat(privateFd, "s", 0);
    CloseFd(privateFd);
    ::unlinkat(folderFd_, privateName.constData(), AT_REMOVEDIR);
  };
  struct stat own {};
  if (privateFd < 0 || ::fstat(privateFd, &own) != 0 || own.st_uid != ::geteuid() ||
      (own.st_mode & 077) != 0) {
    const int code = privateFd < 0 ? errno : EPERM;
    dropPrivate();
    return fail(QStringLiteral("временный каталог"), code);
  }

  listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  sockaddr_un address{};
  SocketAddress("/proc/self/fd/" + QByteArray::number(privateFd) + "/s", -1, "s", &address);
  struct stat made {};
  if (listenFd_ < 0 ||
      ::bind(listenFd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    const int code = errno;
    dropPrivate();
    CloseFd(listenFd_);
    return fail(QStringLiteral("сокет"), code);
  }
  // The folder's group, not the program's, decides who may operate it. In a
  // setgid folder the socket has it already; elsewhere it is given, which
  // only a member of that group (or root) can do.
  if (::fstatat(privateFd, "s", &made, AT_SYMLINK_NOFOLLOW) == 0 && made.st_gid != folder.st_gid &&
      ::fchownat(privateFd, "s", static_cast<uid_t>(-1), folder.st_gid, AT_SYMLINK_NOFOLLOW) != 0) {
    const int code = errno;
    note_ = Texts(kGroupNotGiven, {path, GroupName(folder.st_gid), SystemReason(code)}).Shown;
  }
  if (::fchmodat(privateFd, "s", 0660, 0) != 0 || ::listen(listenFd_, 64) != 0 ||
      ::fstatat(privateFd, "s", &made, AT_SYMLINK_NOFOLLOW) != 0) {
    const int code = errno;
    dropPrivate();
    CloseFd(listenFd_);
    return fail(QStringLiteral("сокет"), code);
  }
  if (::renameat(privateFd, "s", folderFd_, "Vorta.ctl") != 0) {
    const int code = errno;
    struct stat there {};
    dropPrivate();
    CloseFd(listenFd_);
    if (::fstatat(folderFd_, "Vorta.ctl", &there, AT_SYMLINK_NOFOLLOW) == 0 &&
        !S_ISSOCK(there.st_mode)) {
      *error = QStringLiteral("Не удалось открыть канал управления %1: на его месте %2")
                   .arg(path, KindOf(there.st_mode));
      return false;
    }
    return fail(QStringLiteral("сокет"), code);
  }
  dropPrivate();
  socketDev_ = made.st_dev;
  socketIno_ = made.st_ino;
  spareFd_ = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  notifier_ = std::make_unique<QSocketNotifier>(listenFd_, QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { AcceptAll(); });
  return true;
}

void TControlServer::RemoveLeftPrivateDirectories() {
  // A start killed while making its socket leaves the directory (and perhaps
  // the socket in it). The folder's lock is held: no other copy makes one now.
  const QStringList names = QDir(folder_).entryList({kPrivatePrefix + u'*'},
                                                    QDir::Dirs | QDir::Hidden | QDir::NoSymLinks);
  for (const QString& name : names) {
    const QByteArray native = QFile::encodeName(name);
    struct stat st {};
    if (::fstatat(folderFd_, native.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) {
      continue;
    }
    int dir =
        ::openat(folderFd_, native.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir >= 0) ::unlinkat(dir, "s", 0);
    CloseFd(dir);
    // Anything else in it is not ours to remove: then it stays.
    ::unlinkat(folderFd_, native.constData(), AT_REMOVEDIR);
  }
}

void TControlServer::AcceptAll() {
  for (;;) {
    int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      if ((errno == EMFILE || errno == ENFILE) && spareFd_ >= 0) {
        // Out of descriptors: the spare one makes room to take the caller
        // off the queue and close it, so the listener stays and the queue
        // does not keep waking us.
        CloseFd(spareFd_);
        fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0) ::close(fd);
        spareFd_ = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        Refuse(-1, Texts(kNoDescriptors, {}));
        if (fd >= 0) continue;
      }
      return;  // nothing waiting, or an error the next wake-up retries
    }
    ucred peer{};
    socklen_t length = sizeof peer;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0) {
      ::close(fd);
      continue;
    }
    const auto own = std::count_if(peers_.begin(), peers_.end(),
                                   [&peer](const auto& p) { return p.second == peer.uid; });
    if (Connections() >= kControlMaxConnections) {
      Refuse(fd, Texts(kTooMany, {QString::number(Connections())}));
      continue;
    }
    if (own >= kControlMaxPerUser) {
      Refuse(fd, Texts(kTooManyOfUser, {UserName(peer.uid), QString::number(own)}));
      continue;
    }
    auto* socket = new QLocalSocket(this);
    if (!socket->setSocketDescriptor(fd, QLocalSocket::ConnectedState, QIODevice::ReadWrite)) {
      ::close(fd);
      delete socket;
      continue;
    }
    peers_.emplace_back(socket, peer.uid);
    // A caller's own time, not the plant's: real time even on a virtual run.
    auto* deadline = new QTimer(socket);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, socket, [socket] {
      socket->abort();
      socket->deleteLater();
    });
    deadline->start(kControlRequestMs);
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QObject::destroyed, this, [this, socket] {
      std::erase_if(peers_, [socket](const auto& p) { return p.first == socket; });
    });
    const uid_t uid = peer.uid;
    connect(socket, &QLocalSocket::readyRead, this, [this, socket, uid, deadline] {
      if (socket->property("served").toBool()) return;
      if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > kMaxRequest) socket->abort();
        return;
      }
      socket->setProperty("served", true);
      deadline->start(kReplyMs);
      Serve(socket, uid);
    });
  }
}

void TControlServer::Refuse(int fd, const TControlTexts& why) {
  if (fd >= 0) {
    // The caller reads what `vorta ctl` always says: the recorded words.
    const QByteArray reply = ReplyBytes(
        {kControlBusy,
         QStringLiteral("Копия программы занята (%1); повторите позже").arg(why.Recorded)});
    [[maybe_unused]] const auto sent = ::send(
        fd, reply.constData(), static_cast<size_t>(reply.size()), MSG_DONTWAIT | MSG_NOSIGNAL);
    ::close(fd);
  }
  const qint64 now = clock_->elapsed();
  if (overloadTold_ && now - lastRefusalMs_ >= kOverloadEpisodeMs) overloadTold_ = false;
  lastRefusalMs_ = now;
  if (overloadTold_) return;
  overloadTold_ = true;
  if (OnOverload) {
    const QString socket = QDir(folder_).filePath(kControlSocketName);
    const TControlTexts recorded = Texts(kOverloadText, {socket, why.Recorded});
    const TControlTexts shown = Texts(kOverloadText, {socket, why.Shown});
    OnOverload(shown.Shown, recorded.Recorded);
  }
}

void TControlServer::Serve(QLocalSocket* socket, uid_t uid) {
  const QByteArray line = socket->readLine(kMaxRequest);
  TControlReply reply;
  struct stat folder {};
  const bool known = ::fstat(folderFd_, &folder) == 0;
  const QJsonObject o = QJsonDocument::fromJson(line).object();
  if (!known || !MayOperate(uid, folder.st_gid)) {
    reply = {kControlNoAccess,
             QStringLiteral("Нет права управлять этой копией: нужна группа папки")};
  } else if (!o.value(QLatin1String("args")).isArray()) {
    reply = {kControlUsage, QStringLiteral("Непонятный запрос")};
  } else {
    TControlRequest request;
    for (const QJsonValue v : o.value(QLatin1String("args")).toArray())
      request.Args << v.toString();
    request.Json = o.value(QLatin1String("json")).toBool();
    request.Uid = uid;
    request.User = UserName(uid);
    reply = handler_(request);
  }
  socket->write(ReplyBytes(reply));
  socket->flush();
  socket->disconnectFromServer();
}

namespace {

// Waits for `events` on fd until the deadline; false on a timeout.
bool WaitFor(int fd, short events, const QDeadlineTimer& deadline) {
  for (;;) {
    pollfd p{fd, events, 0};
    const int n = ::poll(&p, 1, static_cast<int>(std::max<qint64>(0, deadline.remainingTime())));
    if (n > 0) return true;
    if (n == 0) return false;
    if (errno != EINTR) return true;  // the read or write says what is wrong
  }
}

}  // namespace

TControlReply SendControlCommand(const QString& folder, const QStringList& args, bool json,
                                 int timeoutMs) {
  const QString absolute = QDir(folder).absolutePath();
  const QString path = QDir(absolute).filePath(kControlSocketName);
  const QDeadlineTimer deadline(timeoutMs);
  const auto noCopy = [&absolute](const QString& why) {
    return TControlReply{
        kControlNoCopy,
        QStringLiteral("На папке %1 не работает копия программы (%2)").arg(absolute, why)};
  };
  const auto noAccess = [&path] {
    return TControlReply{
        kControlNoAccess,
        QStringLiteral("Нет доступа к %1: управлять копией могут члены группы папки").arg(path)};
  };
  int folderFd = ::open(QFile::encodeName(absolute).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  struct stat folderStat {};
  if (folderFd < 0 || ::fstat(folderFd, &folderStat) != 0) {
    const int code = errno;
    CloseFd(folderFd);
    if (code == EACCES) return noAccess();
    return {kControlNoCopy, QStringLiteral("Папка %1: %2").arg(absolute, SystemReason(code))};
  }
  struct stat socketStat {};
  if (::fstatat(folderFd, "Vorta.ctl", &socketStat, AT_SYMLINK_NOFOLLOW) != 0) {
    const int code = errno;
    CloseFd(folderFd);
    if (code == EACCES) return noAccess();
    return noCopy(code == ENOENT ? QStringLiteral("нет %1").arg(kControlSocketName)
                                 : SystemReason(code));
  }
  if (!S_ISSOCK(socketStat.st_mode)) {
    CloseFd(folderFd);
    return noCopy(QStringLiteral("%1 — %2, а не сокет").arg(path, KindOf(socketStat.st_mode)));
  }
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  if (fd < 0 || !SocketAddress(QFile::encodeName(path), folderFd, "Vorta.ctl", &address)) {
    const int code = fd < 0 ? errno : ENAMETOOLONG;
    CloseFd(fd);
    CloseFd(folderFd);
    return noCopy(SystemReason(code));
  }
  // A full queue makes connect wait: no longer than the caller's time.
  const timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  int connected = 0;
  do {
    connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  } while (connected != 0 && errno == EINTR);
  const int connectError = errno;
  CloseFd(folderFd);
  if (connected != 0) {
    ::close(fd);
    if (connectError == EACCES || connectError == EPERM) return noAccess();
    if (connectError == EAGAIN || connectError == ETIMEDOUT || connectError == EINPROGRESS) {
      return {kControlBusy,
              QStringLiteral("Копия программы на %1 не принимает соединение; повторите позже")
                  .arg(absolute)};
    }
    return noCopy(SystemReason(connectError));
  }
  // Believe only the folder's owner, or root: anyone else who could put a
  // socket there must not get the command, nor give the answer.
  ucred peer{};
  socklen_t length = sizeof peer;
  if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 ||
      (peer.uid != folderStat.st_uid && peer.uid != 0)) {
    ::close(fd);
    return {kControlUntrusted,
            QStringLiteral("%1 открыт не программой владельца папки (%2), а пользователем %3 "
                           "(PID %4): команда не отправлена, ответу не верю")
                .arg(path, UserName(folderStat.st_uid), UserName(peer.uid))
                .arg(peer.pid)};
  }
  QJsonObject request;
  request[QLatin1String("args")] = QJsonArray::fromStringList(args);
  request[QLatin1String("json")] = json;
  const QByteArray bytes = QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n';
  for (qsizetype sent = 0; sent < bytes.size();) {
    const ssize_t n = ::send(fd, bytes.constData() + sent, static_cast<size_t>(bytes.size() - sent),
                             MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    sent += n;
  }
  QByteArray answer;
  char buffer[4096];
  while (!answer.endsWith('\n') && answer.size() < qint64{64} * 1024 * 1024) {
    if (!WaitFor(fd, POLLIN, deadline)) break;
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    answer.append(buffer, n);
  }
  ::close(fd);
  const QJsonObject o = QJsonDocument::fromJson(answer).object();
  if (!o.contains(QLatin1String("exit"))) {
    return {kControlNoCopy, QStringLiteral("Копия программы на %1 не ответила").arg(absolute)};
  }
  const QJsonValue data = o.value(QLatin1String("data"));
  return {o.value(QLatin1String("exit")).toInt(), o.value(QLatin1String("out")).toString(),
          data.isUndefined() ? QJsonValue() : data, o.value(QLatin1String("time")).toString()};
}

}  // namespace vorta
