#include "platform/Ownership.h"

#include <sys/stat.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include "platform/FolderFiles.h"
#include "platform/SystemNames.h"

namespace vorta {

namespace {

QString Tr(const char* text) {
  return QCoreApplication::translate("vorta::Ownership", text);
}

// "/srv/lab/Vorta.ini: владелец ivan, группа lab, права 0664 — …; программа не запущена"
QString Refusal(const QString& path, const struct stat& st, const QString& why) {
  return Tr(QT_TRANSLATE_NOOP("vorta::Ownership",
                              "%1: владелец %2, группа %3, права %4 — %5; программа не запущена"))
      .arg(path, UserName(st.st_uid), GroupName(st.st_gid),
           QStringLiteral("%1").arg(st.st_mode & 07777, 4, 8, QLatin1Char('0')), why);
}

// `isFolder`: the program folder's rule for its group (its own, sticky).
QString Check(const QString& path, const struct stat& st, bool isFolder) {
  const uid_t me = FileUser();
  if (st.st_uid != me && st.st_uid != 0) {
    return Refusal(
        path, st,
        Tr(QT_TRANSLATE_NOOP("vorta::Ownership", "принадлежит не пользователю %1 и не root"))
            .arg(UserName(me)));
  }
  if ((st.st_mode & S_IWOTH) != 0) {
    return Refusal(
        path, st, Tr(QT_TRANSLATE_NOOP("vorta::Ownership", "изменять его могут все пользователи")));
  }
  if ((st.st_mode & S_IWGRP) != 0) {
    if (!isFolder || st.st_gid != ::getegid()) {
      return Refusal(path, st,
                     Tr(QT_TRANSLATE_NOOP("vorta::Ownership", "изменять его может группа %1"))
                         .arg(GroupName(st.st_gid)));
    }
    if ((st.st_mode & S_ISVTX) == 0) {
      return Refusal(
          path, st,
          Tr(QT_TRANSLATE_NOOP("vorta::Ownership",
                               "участники группы %1 могут удалять и подменять в ней чужие файлы: "
                               "нужен бит sticky (chmod +t)"))
              .arg(GroupName(st.st_gid)));
    }
  }
  return {};
}

}  // namespace

QString UnsafeFolder(const QString& folder) {
  struct stat st {};
  if (::stat(QFile::encodeName(folder).constData(), &st) != 0) return {};
  if (const QString why = Check(folder, st, true); !why.isEmpty()) return why;
  return {};
}

QString UnsafeFile(const QString& path, bool withFolder) {
  struct stat st {};
  if (::stat(QFile::encodeName(path).constData(), &st) != 0) return {};
  if (const QString why = Check(path, st, false); !why.isEmpty()) return why;
  if (!withFolder) return {};
  // The folder the file really lies in, past any link.
  const QString real = QFileInfo(path).canonicalFilePath();
  const QString folder = QFileInfo(real.isEmpty() ? path : real).absolutePath();
  if (::stat(QFile::encodeName(folder).constData(), &st) != 0) return {};
  // A shared folder with the sticky bit (/tmp) lets nobody replace our file.
  if ((st.st_mode & S_ISVTX) != 0 && (st.st_uid == FileUser() || st.st_uid == 0)) return {};
  return Check(folder, st, false);
}

}  // namespace vorta
