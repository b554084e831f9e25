#include "app/FolderClaim.h"

#include <QDir>
#include <cstdio>

#include "platform/FileAttributes.h"
#include "platform/FolderFiles.h"
#include "platform/FolderLock.h"
#include "platform/Ownership.h"
#include "platform/SafeFile.h"
#include "platform/SingleInstance.h"
#include "process/PanelView.h"

namespace vorta {

TFolderClaim::TFolderClaim() = default;
TFolderClaim::~TFolderClaim() = default;
TFolderClaim::TFolderClaim(TFolderClaim&&) noexcept = default;
TFolderClaim& TFolderClaim::operator=(TFolderClaim&&) noexcept = default;

TFolderClaim ClaimFolder(const QString& folder) {
  TFolderClaim claim;
  const QDir dir(folder);
  const QString mainConfig = dir.filePath(QStringLiteral("Vorta.ini"));
  // A FIFO or a folder in its place is there, and refused when read.
  if (!FileExists(mainConfig) && NotARegularFile(mainConfig).isEmpty()) {
    claim.Result = TFolderClaim::TResult::NoMainConfig;
    return claim;
  }
  // Before the lock file is made: nothing is written in a folder others rule.
  for (const QString& problem : {UnsafeFolder(dir.absolutePath()), UnsafeFile(mainConfig),
                                 UnsafeFile(dir.filePath(QStringLiteral("VortaCAN.ini")))}) {
    if (!problem.isEmpty()) {
      claim.Problem = problem;
      return claim;
    }
  }
  bool held = false;
  claim.Lock = TFolderLock::Acquire(folder, &claim.Problem, &held);
  if (!claim.Lock) {
    if (!held) return claim;
    // Asked without making anything: a copy that listens has made its place.
    const auto instance = TSingleInstance::ForFolder(folder, false);
    claim.Result = instance->AskRunningCopyToRaise() ? TFolderClaim::TResult::SecondInstance
                                                     : TFolderClaim::TResult::FolderInUse;
    return claim;
  }
  claim.Folder = TFolderFd::Open(folder, &claim.Problem);
  if (!claim.Folder) {
    claim.Lock.reset();
    return claim;
  }
  claim.Result = TFolderClaim::TResult::Claimed;
  return claim;
}

int ReportUnclaimed(const TFolderClaim& claim, const QString& folder, int raised) {
  switch (claim.Result) {
    case TFolderClaim::TResult::NoMainConfig:
      std::fprintf(stderr, "vorta: %s not found; nothing to supervise\n",
                   QDir(folder).filePath(QStringLiteral("Vorta.ini")).toLocal8Bit().constData());
      return 1;
    case TFolderClaim::TResult::SecondInstance:
      std::fprintf(stderr, "vorta: already running on %s; asked it to come to the front\n",
                   QDir(folder).absolutePath().toLocal8Bit().constData());
      return raised;
    case TFolderClaim::TResult::FolderInUse:
      std::fprintf(stderr, "vorta: %s\n", claim.Problem.toLocal8Bit().constData());
      return kExitFolderInUse;
    case TFolderClaim::TResult::Refused:
    case TFolderClaim::TResult::Claimed:
      break;
  }
  std::fprintf(stderr, "vorta: %s\n", claim.Problem.toLocal8Bit().constData());
  return kExitRefused;
}

}  // namespace vorta
