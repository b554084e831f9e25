#include "platform/FolderFiles.h"

#include <fcntl.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <cerrno>

#include "platform/SystemNames.h"

namespace vorta {

namespace {

QString Tr(const char* text) {
  return QCoreApplication::translate("vorta::FolderFiles", text);
}

class TFd {
 public:
  explicit TFd(int fd = -1) : fd_(fd) {}
  ~TFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  void Reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  [[nodiscard]] int Get() const { return fd_; }
  void Release() { fd_ = -1; }

 private:
  int fd_;
};

// The folder descriptor and the name a path comes to: the held program folder
// when the file lies directly in it, else its own folder opened for the call.
struct TPlace {
  TFd OwnFolder;
  int Folder = -1;
  QByteArray Name;
  int Error = 0;
};

void Locate(const QString& path, const TFolderFd* folder, TPlace* place) {
  const QString absolute =
      QDir::isAbsolutePath(path) ? path : QDir::current().absoluteFilePath(path);
  const qsizetype slash = absolute.lastIndexOf(u'/');
  const QString dir = absolute.left(slash + 1);
  place->Name = QFile::encodeName(absolute.mid(slash + 1));
  if (folder != nullptr && dir == folder->Path()) {
    place->Folder = folder->Get();
    return;
  }
  place->OwnFolder.Reset(
      ::open(QFile::encodeName(dir).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  place->Folder = place->OwnFolder.Get();
  if (place->Folder < 0) place->Error = errno;
}

QString OpenFailure(int error) {
  if (error == ELOOP)
    return Tr(
        QT_TRANSLATE_NOOP("vorta::FolderFiles", "символическая ссылка, программа по ней не пишет"));
  if (error == ENXIO) return Tr(QT_TRANSLATE_NOOP("vorta::FolderFiles", "не обычный файл"));
  return SystemReason(error);
}

// Why a file found in a name's place is not the one to write, or empty.
QString Unfit(const struct stat& st, const TAppendRules& rules) {
  if (!S_ISREG(st.st_mode)) return Tr(QT_TRANSLATE_NOOP("vorta::FolderFiles", "не обычный файл"));
  if (st.st_nlink != 1)
    return Tr(
        QT_TRANSLATE_NOOP("vorta::FolderFiles", "у файла есть другие имена (жёсткие ссылки)"));
  if (st.st_uid != FileUser() && st.st_uid != 0) {
    return Tr(QT_TRANSLATE_NOOP("vorta::FolderFiles", "файл принадлежит пользователю %1"))
        .arg(UserName(st.st_uid));
  }
  if (rules.Identity != nullptr && rules.Identity->Known() &&
      !(*rules.Identity ==
        TFileIdentity{static_cast<quint64>(st.st_dev), static_cast<quint64>(st.st_ino)})) {
    return Tr(QT_TRANSLATE_NOOP("vorta::FolderFiles", "на месте файла теперь другой файл"));
  }
  return {};
}

// One write of everything, cut back to `before` when it fails or falls short.
bool WriteAll(int fd, const QByteArray& bytes, off_t before, QString* error) {
  qsizetype done = 0;
  int reason = 0;
  while (done < bytes.size()) {
    const ssize_t n =
        ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      reason = n < 0 ? errno : ENOSPC;
      break;
    }
    done += n;
  }
  if (done == bytes.size()) return true;
  *error = SystemReason(reason);
  if (::ftruncate(fd, before) != 0) {
    *error += QCoreApplication::translate("vorta::SafeFile", "; часть записи осталась в файле: ") +
              SystemReason(errno);
  }
  return false;
}

constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

bool CreateAndAppend(const TPlace& place, const QByteArray& bytes, const TAppendRules& rules,
                     QString* error) {
  const TFd fd(::openat(place.Folder, place.Name.constData(),
                        O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
  if (fd.Get() < 0) {
    *error = OpenFailure(errno);
    return false;
  }
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0) {
    *error = SystemReason(errno);
    return false;
  }
  const bool ok = WriteAll(fd.Get(), rules.HeaderWhenNew + bytes, 0, error);
  if (rules.ReadOnlyBetween) ::fchmod(fd.Get(), st.st_mode & 07777 & ~kWriteBits);
  if (rules.Identity != nullptr) {
    *rules.Identity = {static_cast<quint64>(st.st_dev), static_cast<quint64>(st.st_ino)};
  }
  if (rules.Created != nullptr) *rules.Created = true;
  return ok;
}

}  // namespace

uid_t FileUser() {
  // An id that cannot be set leaves it as it is and returns it.
  return static_cast<uid_t>(::setfsuid(static_cast<uid_t>(-1)));
}

TFolderFd::~TFolderFd() {
  if (fd_ >= 0) ::close(fd_);
}

std::shared_ptr<const TFolderFd> TFolderFd::Open(const QString& folder, QString* error) {
  QString path = QDir(folder).absolutePath();
  if (!path.endsWith(u'/')) path += u'/';
  const int fd = ::open(QFile::encodeName(path).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    if (error != nullptr) *error = QStringLiteral("%1: %2").arg(path, SystemReason(errno));
    return nullptr;
  }
  return std::shared_ptr<const TFolderFd>(new TFolderFd(fd, path));
}

bool AppendAt(const QString& path, const TFolderFd* folder, const QByteArray& bytes,
              const TAppendRules& rules, QString* error) {
  if (rules.Created != nullptr) *rules.Created = false;
  TPlace place;
  Locate(path, folder, &place);
  if (place.Folder < 0) {
    *error = SystemReason(place.Error);
    return false;
  }
  // Root opens a read-only file for writing as it is; its owner opens it for
  // reading, lifts the attribute on that descriptor and opens the very same
  // file again for writing through it, so no name is looked up twice.
  const bool throughReader = rules.ReadOnlyBetween && FileUser() != 0;
  const int flags = throughReader ? O_RDONLY : (O_WRONLY | O_APPEND);
  TFd fd(
      ::openat(place.Folder, place.Name.constData(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (fd.Get() < 0) {
    const int reason = errno;
    if (reason == ENOENT) return CreateAndAppend(place, bytes, rules, error);
    *error = OpenFailure(reason);
    return false;
  }
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0) {
    *error = SystemReason(errno);
    return false;
  }
  if (QString unfit = Unfit(st, rules); !unfit.isEmpty()) {
    *error = unfit;
    return false;
  }
  const mode_t mode = st.st_mode & 07777;
  TFd writer;
  if (throughReader) {
    if ((mode & S_IWUSR) == 0 && ::fchmod(fd.Get(), mode | S_IWUSR) != 0) {
      *error = SystemReason(errno);
      return false;
    }
    writer.Reset(::open(QByteArray("/proc/self/fd/" + QByteArray::number(fd.Get())).constData(),
                        O_WRONLY | O_APPEND | O_CLOEXEC));
    if (writer.Get() < 0) {
      *error = SystemReason(errno);
      ::fchmod(fd.Get(), mode & ~kWriteBits);
      return false;
    }
  }
  const bool ok = WriteAll(throughReader ? writer.Get() : fd.Get(), bytes, st.st_size, error);
  if (rules.ReadOnlyBetween && (throughReader || (mode & kWriteBits) != 0)) {
    ::fchmod(fd.Get(), mode & ~kWriteBits);
  }
  if (rules.Identity != nullptr) {
    *rules.Identity = {static_cast<quint64>(st.st_dev), static_cast<quint64>(st.st_ino)};
  }
  return ok;
}

int OpenForAppendAt(const QString& path, const TFolderFd* folder, QString* error) {
  TPlace place;
  Locate(path, folder, &place);
  if (place.Folder < 0) {
    *error = SystemReason(place.Error);
    return -1;
  }
  TFd fd(::openat(place.Folder, place.Name.constData(),
                  O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644));
  struct stat st {};
  if (fd.Get() < 0 || ::fstat(fd.Get(), &st) != 0) {
    *error = OpenFailure(errno);
    return -1;
  }
  if (QString unfit = Unfit(st, TAppendRules{}); !unfit.isEmpty()) {
    *error = unfit;
    return -1;
  }
  const int out = fd.Get();
  fd.Release();
  return out;
}

bool SetReadOnlyAt(const QString& path, const TFolderFd* folder, bool readOnly) {
  TPlace place;
  Locate(path, folder, &place);
  if (place.Folder < 0) return false;
  const TFd fd(::openat(place.Folder, place.Name.constData(),
                        O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat st {};
  if (fd.Get() < 0 || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  const mode_t mode = st.st_mode & 07777;
  const mode_t wanted = readOnly ? (mode & ~kWriteBits) : (mode | S_IWUSR);
  return wanted == mode || ::fchmod(fd.Get(), wanted) == 0;
}

bool SaveWhole(const QString& path, const TFolderFd* folder, const QByteArray& bytes,
               QString* error) {
  TPlace place;
  Locate(path, folder, &place);
  if (place.Folder < 0) {
    *error = SystemReason(place.Error);
    return false;
  }
  struct stat old {};
  const bool exists =
      ::fstatat(place.Folder, place.Name.constData(), &old, AT_SYMLINK_NOFOLLOW) == 0;
  if (exists && S_ISLNK(old.st_mode)) {
    *error = Tr(
        QT_TRANSLATE_NOOP("vorta::FolderFiles", "символическая ссылка, программа по ней не пишет"));
    return false;
  }
  if (exists && !S_ISREG(old.st_mode)) {
    *error = Tr(QT_TRANSLATE_NOOP("vorta::FolderFiles", "не обычный файл"));
    return false;
  }
  // The name a killed save leaves is the one the start clears: the file's
  // name, a point and six letters or digits.
  static constexpr char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  QByteArray temporary;
  TFd fd;
  for (int attempt = 0; attempt < 100 && fd.Get() < 0; ++attempt) {
    temporary = place.Name + '.';
    for (int i = 0; i < 6; ++i) {
      temporary += kLetters[QRandomGenerator::global()->bounded(int{sizeof kLetters} - 1)];
    }
    fd.Reset(::openat(place.Folder, temporary.constData(),
                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (fd.Get() < 0 && errno != EEXIST) break;
  }
  if (fd.Get() < 0) {
    *error = OpenFailure(errno);
    return false;
  }
  bool ok = WriteAll(fd.Get(), bytes, 0, error);
  if (ok && exists && ::fchmod(fd.Get(), old.st_mode & 07777) != 0) {
    *error = SystemReason(errno);
    ok = false;
  }
  // Flushed before the rename: after a crash the name holds the old file or
  // the whole new one.
  if (ok && ::fsync(fd.Get()) != 0) {
    *error = SystemReason(errno);
    ok = false;
  }
  fd.Reset(-1);
  if (ok &&
      ::renameat(place.Folder, temporary.constData(), place.Folder, place.Name.constData()) != 0) {
    *error = SystemReason(errno);
    ok = false;
  }
  if (!ok) ::unlinkat(place.Folder, temporary.constData(), 0);
  return ok;
}

}  // namespace vorta
