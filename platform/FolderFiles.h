#pragma once
// Writing the program's files so that nobody else can send the write
// elsewhere: every file is reached through a descriptor of its folder, never
// through a symbolic link, and an append goes only into the file that was
// appended to before. A link, a hard link or another file renamed into a
// file's place makes the write fail instead.

#include <sys/types.h>
#include <QByteArray>
#include <QString>
#include <memory>

namespace vorta {

// The user files are opened as (the file system user id, which is the
// effective one unless changed on its own).
uid_t FileUser();

// The program folder, opened once at start: the files written in it are
// opened relative to this descriptor.
class TFolderFd {
 public:
  ~TFolderFd();
  TFolderFd(const TFolderFd&) = delete;
  TFolderFd& operator=(const TFolderFd&) = delete;

  // Null with the system's reason in *error when `folder` cannot be opened.
  static std::shared_ptr<const TFolderFd> Open(const QString& folder, QString* error);
  [[nodiscard]] int Get() const { return fd_; }
  // Absolute, with a trailing separator.
  [[nodiscard]] const QString& Path() const { return path_; }

 private:
  TFolderFd(int fd, QString path) : fd_(fd), path_(std::move(path)) {}
  int fd_;
  QString path_;
};

// Which file: its device and inode (an append's last file, a delivered
// offset's file).
struct TFileIdentity {
  quint64 Device = 0;
  quint64 Inode = 0;
  [[nodiscard]] bool Known() const { return Inode != 0; }
  bool operator==(const TFileIdentity&) const = default;
};

struct TAppendRules {
  // Written before the bytes, in the same write, when the file is created.
  QByteArray HeaderWhenNew;
  // The file carries no write bits between appends (the read-only attribute).
  bool ReadOnlyBetween = false;
  // When known, the file must still be this one (or gone: then it is created
  // anew); updated to the file appended to.
  TFileIdentity* Identity = nullptr;
  // Set when the file was created by this append.
  bool* Created = nullptr;
};

// Appends `bytes` with one write to `path`, creating the file when missing.
// `folder`, when `path` lies directly in it, saves opening the folder. Refused
// when the name is a link, a special file, a file with other hard links, a
// file of another user (root's excepted) or, under Identity, another file than
// before. A failed or short write is cut back. False with the reason in *error.
bool AppendAt(const QString& path, const TFolderFd* folder, const QByteArray& bytes,
              const TAppendRules& rules, QString* error);

// A descriptor open for appending to `path` (created when missing) under the
// same refusals as AppendAt; -1 with the reason in *error.
int OpenForAppendAt(const QString& path, const TFolderFd* folder, QString* error);

// Sets or clears the read-only attribute of `path` without following a link.
bool SetReadOnlyAt(const QString& path, const TFolderFd* folder, bool readOnly);

// Replaces `path` with `bytes` as a whole: a temporary is created beside it
// (never through a link, never an existing file), written, flushed, given the
// old file's permissions and renamed over it. A crash or a failed write leaves
// the old file as it was. A link in the file's place is refused.
bool SaveWhole(const QString& path, const TFolderFd* folder, const QByteArray& bytes,
               QString* error);

}  // namespace vorta
