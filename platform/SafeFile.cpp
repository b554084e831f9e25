#include "platform/SafeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QCoreApplication>

#include <QFile>
#include <cerrno>
#include <cstring>

namespace vorta {

namespace {

QString KindOf(mode_t mode, bool translated) {
  const char* kind = QT_TRANSLATE_NOOP("vorta::SafeFile", "особый файл");
  if (S_ISFIFO(mode)) kind = QT_TRANSLATE_NOOP("vorta::SafeFile", "именованный канал");
  if (S_ISDIR(mode)) kind = QT_TRANSLATE_NOOP("vorta::SafeFile", "папка");
  if (S_ISCHR(mode) || S_ISBLK(mode)) kind = QT_TRANSLATE_NOOP("vorta::SafeFile", "устройство");
  if (S_ISSOCK(mode)) kind = QT_TRANSLATE_NOOP("vorta::SafeFile", "сокет");
  return translated ? QCoreApplication::translate("vorta::SafeFile", kind)
                    : QString::fromUtf8(kind);
}

QString SystemReason(int error) {
  return QString::fromLocal8Bit(std::strerror(error));
}

class TDescriptor {
 public:
  explicit TDescriptor(int fd) : fd_(fd) {}
  ~TDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  TDescriptor(const TDescriptor&) = delete;
  TDescriptor& operator=(const TDescriptor&) = delete;
  [[nodiscard]] int Get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

namespace {

QString SpecialFileMessage(const QString& path, bool translated) {
  struct stat st {};
  if (::stat(QFile::encodeName(path).constData(), &st) != 0 || S_ISREG(st.st_mode)) return {};
  const char* text =
      QT_TRANSLATE_NOOP("vorta::SafeFile", "%1: не обычный файл (%2), программа его не открывает");
  return (translated ? QCoreApplication::translate("vorta::SafeFile", text)
                     : QString::fromUtf8(text))
      .arg(path, KindOf(st.st_mode, translated));
}

}  // namespace

QString NotARegularFile(const QString& path) {
  return SpecialFileMessage(path, true);
}

QString NotARegularFileRecorded(const QString& path) {
  return SpecialFileMessage(path, false);
}

bool AppendWhole(const QString& path, const QByteArray& bytes, QString* error) {
  // Non-blocking: a FIFO without a reader fails at once instead of waiting.
  const TDescriptor fd(::open(QFile::encodeName(path).constData(),
                              O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644));
  if (fd.Get() < 0) {
    *error = SystemReason(errno);
    return false;
  }
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0) {
    *error = SystemReason(errno);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    *error = QCoreApplication::translate("vorta::SafeFile", "не обычный файл (%1)")
                 .arg(KindOf(st.st_mode, true));
    return false;
  }
  const off_t before = st.st_size;
  // One write() takes the whole record unless the disk fills or a signal
  // cuts it short; only what follows a short write tells why.
  qsizetype done = 0;
  int reason = 0;
  while (done < bytes.size()) {
    const ssize_t n =
        ::write(fd.Get(), bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      reason = n < 0 ? errno : ENOSPC;
      break;
    }
    done += n;
  }
  if (done == bytes.size()) return true;
  *error = SystemReason(reason);
  if (::ftruncate(fd.Get(), before) != 0) {
    *error += QCoreApplication::translate("vorta::SafeFile", "; часть записи осталась в файле: ") +
              SystemReason(errno);
  }
  return false;
}

int LastByte(const QString& path) {
  if (!NotARegularFile(path).isEmpty()) return -1;
  const TDescriptor fd(
      ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (fd.Get() < 0) return -1;
  unsigned char c = 0;
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0) return -1;
  if (::pread(fd.Get(), &c, 1, st.st_size - 1) != 1) return -1;
  return c;
}

}  // namespace vorta
