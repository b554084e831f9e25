#pragma once
// Taking the program folder before anything in it is read: it and the files
// that steer the program are checked for who may change them, and the folder
// lock is taken. A copy refused here has read no file and written nothing.

#include <QString>
#include <memory>

namespace vorta {

class TFolderLock;
class TFolderFd;

struct TFolderClaim {
  enum class TResult {
    Claimed,
    NoMainConfig,    // no Vorta.ini: nothing to supervise
    SecondInstance,  // a copy of this user runs on it and was asked to come to the front
    FolderInUse,     // another copy holds the lock (any user)
    Refused,         // a folder or file others could change, or a lock that cannot be made
  };
  TResult Result = TResult::Refused;
  QString Problem;  // why, for every result but Claimed and SecondInstance
  std::unique_ptr<TFolderLock> Lock;
  std::shared_ptr<const TFolderFd> Folder;

  TFolderClaim();
  ~TFolderClaim();
  TFolderClaim(TFolderClaim&&) noexcept;
  TFolderClaim& operator=(TFolderClaim&&) noexcept;
};

TFolderClaim ClaimFolder(const QString& folder);

// Says on the standard error why `claim` did not take `folder` and returns
// the exit code for it (`raised` for a running copy asked to come to the front).
int ReportUnclaimed(const TFolderClaim& claim, const QString& folder, int raised = 0);

// The exit code of a refusal that no restart changes (Refused).
inline constexpr int kExitRefused = 6;

}  // namespace vorta
