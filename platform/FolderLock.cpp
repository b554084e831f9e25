#include "platform/FolderLock.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QCoreApplication>

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>

#include "platform/SafeFile.h"

namespace vorta {

namespace {

QString UserName(uid_t uid) {
  if (const passwd* pw = ::getpwuid(uid); pw != nullptr && pw->pw_name != nullptr) {
    return QString::fromLocal8Bit(pw->pw_name);
  }
  return QString::number(uid);
}

// "PID 1234, пользователь vorta" from what the holder wrote into the file;
// the owner of its /proc entry is the user, whatever the file says.
QString HolderText(int fd) {
  char buffer[64] = {};
  const ssize_t n = ::pread(fd, buffer, sizeof buffer - 1, 0);
  bool ok = false;
  const qint64 pid =
      n > 0 ? QByteArray(buffer, static_cast<qsizetype>(n)).trimmed().toLongLong(&ok) : 0;
  if (!ok || pid <= 0) return QCoreApplication::translate("vorta::FolderLock", "другой процесс");
  QString text = QStringLiteral("PID %1").arg(pid);
  struct stat st {};
  if (::stat(QByteArray("/proc/" + QByteArray::number(pid)).constData(), &st) == 0) {
    text +=
        QCoreApplication::translate("vorta::FolderLock", ", пользователь ") + UserName(st.st_uid);
  }
  return text;
}

}  // namespace

TFolderLock::~TFolderLock() {
  if (fd_ >= 0) ::close(fd_);
}

std::unique_ptr<TFolderLock> TFolderLock::Acquire(const QString& folder, QString* why,
                                                  bool* heldByAnother) {
  if (heldByAnother != nullptr) *heldByAnother = false;
  const QString path = QDir(folder).filePath(kFolderLockFileName);
  if (const QString special = NotARegularFile(path); !special.isEmpty()) {
    *why = special;
    return nullptr;
  }
  const QByteArray name = QFile::encodeName(path);
  // Readable by all who may look at the folder, so that they learn who runs it.
  int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW, 0644);
  // Another user's lock file can still be locked, and so refuses that user.
  if (fd < 0 && errno == EACCES) fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *why = QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    return nullptr;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    if (error == EWOULDBLOCK) {
      if (heldByAnother != nullptr) *heldByAnother = true;
      *why = QCoreApplication::translate("vorta::FolderLock",
                                         "в папке %1 уже работает копия программы (%2)")
                 .arg(QDir(folder).absolutePath(), HolderText(fd));
    } else {
      *why = QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(error)));
    }
    ::close(fd);
    return nullptr;
  }
  // Who holds it, for the copies it refuses; a read-only descriptor (another
  // user's file) holds the lock all the same.
  const QByteArray pid = QByteArray::number(static_cast<qint64>(::getpid())) + '\n';
  if (::ftruncate(fd, 0) == 0) {
    [[maybe_unused]] const ssize_t n =
        ::pwrite(fd, pid.constData(), static_cast<size_t>(pid.size()), 0);
  }
  return std::unique_ptr<TFolderLock>(new TFolderLock(fd));
}

}  // namespace vorta
