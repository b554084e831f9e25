#include "platform/FolderLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <QCoreApplication>

#include <QDir>
#include <QFile>
#include <cerrno>

#include "platform/FolderFiles.h"
#include "platform/SafeFile.h"
#include "platform/SystemNames.h"

namespace vorta {

namespace {

QString ProcessText(qint64 pid);

// "PID 1234, пользователь vorta" from what the holder wrote into the file;
// the owner of its /proc entry is the user, whatever the file says.
QString HolderText(int fd) {
  char buffer[64] = {};
  const ssize_t n = ::pread(fd, buffer, sizeof buffer - 1, 0);
  bool ok = false;
  const qint64 pid =
      n > 0 ? QByteArray(buffer, static_cast<qsizetype>(n)).trimmed().toLongLong(&ok) : 0;
  if (!ok || pid <= 0) return QCoreApplication::translate("vorta::FolderLock", "другой процесс");
  return ProcessText(pid);
}

// The PID of the process holding a whole-file lock on the file `st` describes
// (from /proc/locks), or 0.
qint64 FlockHolder(const struct stat& st) {
  QFile locks(QStringLiteral("/proc/locks"));
  if (!locks.open(QIODevice::ReadOnly)) return 0;
  const QByteArray id = QByteArray::number(major(st.st_dev), 16).rightJustified(2, '0') + ':' +
                        QByteArray::number(minor(st.st_dev), 16).rightJustified(2, '0') + ':' +
                        QByteArray::number(static_cast<quint64>(st.st_ino));
  for (const QByteArray& line : locks.readAll().split('\n')) {
    const QList<QByteArray> f = line.simplified().split(' ');
    // "1: FLOCK  ADVISORY  WRITE 1234 08:01:5678 0 EOF"
    if (f.size() >= 6 && f[1] == "FLOCK" && f[5] == id) return f[4].toLongLong();
  }
  return 0;
}

QString ProcessText(qint64 pid) {
  QString text = QStringLiteral("PID %1").arg(pid);
  struct stat st {};
  if (::stat(QByteArray("/proc/" + QByteArray::number(pid)).constData(), &st) == 0) {
    text +=
        QCoreApplication::translate("vorta::FolderLock", ", пользователь ") + UserName(st.st_uid);
  }
  return text;
}

QString ModeText(mode_t mode) {
  return QStringLiteral("%1").arg(mode & 07777, 4, 8, QLatin1Char('0'));
}

struct TCloser {
  explicit TCloser(int descriptor) : fd(descriptor) {}
  ~TCloser() { ::close(fd); }
  TCloser(const TCloser&) = delete;
  TCloser& operator=(const TCloser&) = delete;
  int fd;
};

// Why the lock file could not be opened, as what it is.
QString OpenProblem(int dir, const QString& path, const QString& folder, int error, bool* held) {
  struct stat st {};
  const bool exists = ::fstatat(dir, QFile::encodeName(kFolderLockFileName).constData(), &st,
                                AT_SYMLINK_NOFOLLOW) == 0;
  if (error == ELOOP || (exists && S_ISLNK(st.st_mode))) {
    return QCoreApplication::translate("vorta::FolderLock",
                                       "%1 — символическая ссылка; программа по ней не идёт, "
                                       "удалите её")
        .arg(path);
  }
  if (error == EACCES && exists) {
    // Not this user's to open: the kernel's list of locks still says whether
    // a copy holds it, and which.
    if (const qint64 pid = FlockHolder(st); pid > 0) {
      *held = true;
      return QCoreApplication::translate("vorta::FolderLock",
                                         "в папке %1 уже работает копия программы (%2)")
          .arg(folder, ProcessText(pid));
    }
    return QCoreApplication::translate("vorta::FolderLock",
                                       "%1 принадлежит пользователю %2 (права %3): папку "
                                       "занимал другой пользователь; запускайте программу от "
                                       "его имени или удалите файл")
        .arg(path, UserName(st.st_uid), ModeText(st.st_mode));
  }
  if ((error == EACCES || error == EROFS) && !exists) {
    struct stat folderStat {};
    ::fstat(dir, &folderStat);
    return QCoreApplication::translate("vorta::FolderLock",
                                       "в папку %1 (владелец %2, права %3) пользователь %4 не "
                                       "может записывать: программе негде взять замок папки")
        .arg(folder, UserName(folderStat.st_uid), ModeText(folderStat.st_mode),
             UserName(FileUser()));
  }
  if (exists && !S_ISREG(st.st_mode)) return NotARegularFile(path);
  return QStringLiteral("%1: %2").arg(path, SystemReason(error));
}

}  // namespace

TFolderLock::~TFolderLock() {
  if (fd_ >= 0) ::close(fd_);
}

std::unique_ptr<TFolderLock> TFolderLock::Acquire(const QString& folder, QString* why,
                                                  bool* heldByAnother) {
  if (heldByAnother != nullptr) *heldByAnother = false;
  const QString path = QDir(folder).filePath(kFolderLockFileName);
  const QByteArray folderName = QFile::encodeName(QDir(folder).absolutePath());
  const int dir = ::open(folderName.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) {
    *why = QStringLiteral("%1: %2").arg(QDir(folder).absolutePath(), SystemReason(errno));
    return nullptr;
  }
  const TCloser closeDir(dir);
  const QByteArray name = QFile::encodeName(kFolderLockFileName);
  // Private to its user: whoever could open it could hold the lock and keep
  // every copy from starting.
  int fd =
      ::openat(dir, name.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
  if (fd < 0) {
    bool held = false;
    *why = OpenProblem(dir, path, QDir(folder).absolutePath(), errno, &held);
    if (heldByAnother != nullptr) *heldByAnother = held;
    return nullptr;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    *why = NotARegularFile(path);
    if (why->isEmpty()) *why = QStringLiteral("%1: %2").arg(path, SystemReason(errno));
    ::close(fd);
    return nullptr;
  }
  if (st.st_nlink != 1 || (st.st_uid != FileUser() && st.st_uid != 0)) {
    *why = QCoreApplication::translate("vorta::FolderLock",
                                       "%1 (владелец %2, права %3) не может быть замком этой "
                                       "программы: у него другие имена или чужой владелец; "
                                       "удалите его")
               .arg(path, UserName(st.st_uid), ModeText(st.st_mode));
    ::close(fd);
    return nullptr;
  }
  // Written by an older version readable by all: made private now.
  if ((st.st_mode & 077) != 0 && st.st_uid == FileUser()) ::fchmod(fd, 0600);
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    if (error == EWOULDBLOCK) {
      if (heldByAnother != nullptr) *heldByAnother = true;
      *why = QCoreApplication::translate("vorta::FolderLock",
                                         "в папке %1 уже работает копия программы (%2)")
                 .arg(QDir(folder).absolutePath(), HolderText(fd));
    } else {
      *why = QStringLiteral("%1: %2").arg(path, SystemReason(error));
    }
    ::close(fd);
    return nullptr;
  }
  // The lock counts only while the name leads to the file locked: one removed
  // or replaced while this copy opened it is another copy's no longer.
  struct stat named {};
  if (::fstatat(dir, name.constData(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
      named.st_dev != st.st_dev || named.st_ino != st.st_ino) {
    *why = QCoreApplication::translate("vorta::FolderLock",
                                       "%1 удалён или подменён, пока программа его занимала; "
                                       "запустите её снова")
               .arg(path);
    ::close(fd);
    return nullptr;
  }
  // Who holds it, for the copies of this user it refuses.
  const QByteArray pid = QByteArray::number(static_cast<qint64>(::getpid())) + '\n';
  if (::ftruncate(fd, 0) == 0) {
    [[maybe_unused]] const ssize_t n =
        ::pwrite(fd, pid.constData(), static_cast<size_t>(pid.size()), 0);
  }
  return std::unique_ptr<TFolderLock>(new TFolderLock(fd));
}

}  // namespace vorta
