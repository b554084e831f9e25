#pragma once
// Real file-system faults for tests: a small tmpfs that can be filled to
// ENOSPC, and files this process cannot read although it runs as root.

#include <sys/fsuid.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>

namespace vorta::test {

// A tmpfs of the given size mounted on a folder of its own (root only).
class TSmallFileSystem {
 public:
  explicit TSmallFileSystem(const char* size) {
    // Private to its user: the program refuses a folder others can write.
    const QByteArray options = QByteArray("mode=0700,size=") + size;
    const QByteArray at = QFile::encodeName(dir_.path());
    if (::mount("tmpfs", at.constData(), "tmpfs", 0, options.constData()) == 0) {
      mounted_ = true;
    } else {
      error_ = QString::fromLocal8Bit(std::strerror(errno));
    }
  }
  ~TSmallFileSystem() {
    if (mounted_) ::umount2(QFile::encodeName(dir_.path()).constData(), MNT_DETACH);
  }
  TSmallFileSystem(const TSmallFileSystem&) = delete;
  TSmallFileSystem& operator=(const TSmallFileSystem&) = delete;

  [[nodiscard]] bool Mounted() const { return mounted_; }
  [[nodiscard]] const QString& Error() const { return error_; }
  [[nodiscard]] QString Path() const { return dir_.path() + u'/'; }

  // Writes a filler file until the file system refuses; true when it did.
  bool Fill() const {
    QFile f(dir_.filePath(QStringLiteral("filler")));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return false;
    const QByteArray block(4096, 'x');
    while (f.write(block) == block.size()) {
    }
    // tmpfs may still hold part of a page: take it byte by byte.
    while (f.write("x", 1) == 1) {
    }
    return f.error() != QFileDevice::NoError;
  }

 private:
  QTemporaryDir dir_;
  bool mounted_ = false;
  QString error_;
};

// While alive, this thread opens files as an unprivileged user: a root
// process loses its permission override for its file accesses
// (setfsuid drops it; the other threads are not affected).
class TUnprivilegedFiles {
 public:
  static constexpr uid_t kUser = 65534;
  TUnprivilegedFiles() : previous_(static_cast<uid_t>(::setfsuid(kUser))) {}
  ~TUnprivilegedFiles() { ::setfsuid(previous_); }
  TUnprivilegedFiles(const TUnprivilegedFiles&) = delete;
  TUnprivilegedFiles& operator=(const TUnprivilegedFiles&) = delete;

  // Hands a folder and a file in it to the unprivileged user; the file gets
  // write permission only, so it can be replaced but not read.
  static bool MakeWriteOnly(const QString& folder, const QString& file) {
    const QByteArray dir = QFile::encodeName(folder);
    const QByteArray path = QFile::encodeName(file);
    if (Root() && (::chown(dir.constData(), kUser, kUser) != 0 ||
                   ::chown(path.constData(), kUser, kUser) != 0)) {
      return false;
    }
    return ::chmod(path.constData(), 0200) == 0;
  }
  static bool Root() { return ::geteuid() == 0; }

 private:
  uid_t previous_;
};

}  // namespace vorta::test
