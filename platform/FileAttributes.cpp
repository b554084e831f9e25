#include "platform/FileAttributes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

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
  // Looked up by name: one pattern of thousands of alternatives is slow, and
  // too large for the regular expression engine.
  QSet<QString> names;
  for (const QString& own : ownFiles) {
    if (!own.isEmpty() && !own.contains(u'/')) names.insert(own);
  }
  QStringList removed;
  if (names.isEmpty()) return removed;
  // The save's temporary name: the file's name, a point and six letters or digits.
  const auto isSaveOf = [&names](const QString& name) {
    constexpr qsizetype kTail = 7;
    if (name.size() <= kTail || name[name.size() - kTail] != u'.') return false;
    for (qsizetype i = name.size() - kTail + 1; i < name.size(); ++i) {
      const char16_t c = name[i].unicode();
      if (!((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9'))) {
        return false;
      }
    }
    return names.contains(name.left(name.size() - kTail));
  };
  QDir dir(folder);
  const QFileInfoList entries =
      dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::NoSymLinks | QDir::NoDotAndDotDot);
  for (const QFileInfo& entry : entries) {
    if (!isSaveOf(entry.fileName())) continue;
    if (entry.lastModified() >= before) continue;
    if (dir.remove(entry.fileName())) removed << entry.fileName();
  }
  return removed;
}

}  // namespace vorta
