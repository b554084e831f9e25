#include "platform/SystemNames.h"

#include <grp.h>
#include <pwd.h>
#include <cstring>

namespace vorta {

QString UserName(uid_t uid) {
  if (const passwd* pw = ::getpwuid(uid); pw != nullptr && pw->pw_name != nullptr) {
    return QString::fromLocal8Bit(pw->pw_name);
  }
  return QString::number(uid);
}

QString GroupName(gid_t gid) {
  if (const group* gr = ::getgrgid(gid); gr != nullptr && gr->gr_name != nullptr) {
    return QString::fromLocal8Bit(gr->gr_name);
  }
  return QString::number(gid);
}

QString SystemReason(int error) {
  return QString::fromLocal8Bit(std::strerror(error));
}

}  // namespace vorta
