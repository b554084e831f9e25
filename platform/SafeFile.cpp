#include "platform/SafeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QCoreApplication>

#include <QFile>
#include <cerrno>

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
