#include "platform/FileAttributes.h"

#include <QFile>
#include <QFileInfo>

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

}  // namespace vorta
