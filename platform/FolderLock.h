#pragma once
// One running copy per program folder, whatever the user: an exclusive lock
// on a file inside the folder, held for the whole run. The kernel releases
// it when the process ends, however it ends, so a crash never leaves a stale
// lock behind.

#include <QString>
#include <memory>

namespace vorta {

// The lock file's name in the program folder.
inline const QString kFolderLockFileName = QStringLiteral("Vorta.lock");

class TFolderLock {
 public:
  ~TFolderLock();
  TFolderLock(const TFolderLock&) = delete;
  TFolderLock& operator=(const TFolderLock&) = delete;

  // Takes the lock of `folder` without waiting. Nothing when another process
  // holds it or it cannot be taken; *why then names the running copy (its
  // PID and user, where they can be read) or the reason.
  static std::unique_ptr<TFolderLock> Acquire(const QString& folder, QString* why,
                                              bool* heldByAnother = nullptr);

 private:
  explicit TFolderLock(int fd) : fd_(fd) {}
  int fd_;
};

}  // namespace vorta
