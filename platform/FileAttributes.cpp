#include "platform/FileAttributes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace vorta {

namespace {
constexpr QFileDevice::Permissions kWriteBits =
    QFileDevice::WriteOwner | QFileDevice::WriteUser | QFileDevice::WriteGroup;
}

bool FileExists(const QString& path) {
  const QFileInfo info(path);
  return info.exists() && info.isFile();
}

bool IsReadOnly(const QString& path) {
  return FileExists(path) && (QFile::permissions(path) & kWriteBits) == 0;
}

bool SetReadOnly(const QString& path, bool readOnly) {
  if (!FileExists(path)) return false;
  QFileDevice::Permissions p = QFile::permissions(path);
  if (readOnly) {
    p &= ~(kWriteBits | QFileDevice::WriteOther);
  } else {
    p |= QFileDevice::WriteOwner | QFileDevice::WriteUser;
  }
  return QFile::setPermissions(path, p);
}

QStringList RemoveStaleSaveFiles(const QString& folder, const QStringList& ownFiles,
                                 const QDateTime& before) {
  QStringList names;
  for (const QString& own : ownFiles) {
    if (!own.isEmpty() && !own.contains(u'/')) names << QRegularExpression::escape(own);
  }
  QStringList removed;
  if (names.isEmpty()) return removed;
  // The save's temporary name: the file's name, a point and six letters or digits.
  const QRegularExpression pattern(QRegularExpression::anchoredPattern(
      QStringLiteral("(?:%1)\\.[A-Za-z0-9]{6}").arg(names.join(u'|'))));
  QDir dir(folder);
  const QFileInfoList entries =
      dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::NoSymLinks | QDir::NoDotAndDotDot);
  for (const QFileInfo& entry : entries) {
    if (!pattern.match(entry.fileName()).hasMatch()) continue;
    if (entry.lastModified() >= before) continue;
    if (dir.remove(entry.fileName())) removed << entry.fileName();
  }
  return removed;
}

}  // namespace vorta
