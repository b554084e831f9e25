// Where the single-instance socket lives and whom a second copy believes.

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <csignal>
#include <cstring>

#include "platform/SingleInstance.h"

using namespace vorta;

namespace {

// Sets (or, with an empty value, removes) an environment variable for one scope.
class TEnvOverride {
 public:
  TEnvOverride(const char* name, const QByteArray& value) : name_(name), old_(qgetenv(name)) {
    had_ = qEnvironmentVariableIsSet(name);
    if (value.isEmpty()) {
      qunsetenv(name);
    } else {
      qputenv(name, value);
    }
  }
  ~TEnvOverride() {
    if (had_) {
      qputenv(name_, old_);
    } else {
      qunsetenv(name_);
    }
  }

 private:
  const char* name_;
  QByteArray old_;
  bool had_ = false;
};

}  // namespace

TEST(SingleInstance, aFolderReachedThroughASymbolicLinkHasTheSameKey) {
  QTemporaryDir tmp;
  TEnvOverride runtime("XDG_RUNTIME_DIR", tmp.path().toUtf8());
  ASSERT_TRUE(QDir(tmp.path()).mkdir("s1"));
  ASSERT_TRUE(QFile::link(tmp.filePath("s1"), tmp.filePath("s1link")));
  EXPECT_EQ(TSingleInstance::KeyForFolder(tmp.filePath("s1link") + "/"),
            TSingleInstance::KeyForFolder(tmp.filePath("s1")));
}

TEST(SingleInstance, withoutARuntimeFolderTheSocketGoesIntoAFolderOnlyTheUserOwns) {
  QTemporaryDir tmp;
  TEnvOverride runtime("XDG_RUNTIME_DIR", {});
  TEnvOverride temp("TMPDIR", tmp.path().toUtf8());
  QString problem;
  const QString key = TSingleInstance::KeyForFolder(tmp.path(), &problem);
  ASSERT_FALSE(key.isEmpty()) << problem.toStdString();
  const QString folder = QFileInfo(key).path();
  EXPECT_NE(QDir(folder).canonicalPath(), QDir(tmp.path()).canonicalPath());
  struct stat st {};
  ASSERT_EQ(::stat(QFile::encodeName(folder).constData(), &st), 0);
  EXPECT_EQ(st.st_uid, ::getuid());
  EXPECT_EQ(st.st_mode & 0777, 0700U);

  // Another user made that folder first: not used, and the operator is told.
  if (::getuid() != 0) GTEST_SKIP() << "giving the folder away needs root";
  ASSERT_EQ(::chown(QFile::encodeName(folder).constData(), 65534, 65534), 0);
  auto instance = TSingleInstance::ForFolder(tmp.path());
  EXPECT_FALSE(instance->AskRunningCopyToRaise());
  EXPECT_FALSE(instance->Listen());
  EXPECT_TRUE(instance->Problem().contains(folder)) << instance->Problem().toStdString();
}

TEST(SingleInstance, aSocketOfAnotherUserIsNotTakenForARunningCopy) {
  if (::getuid() != 0) GTEST_SKIP() << "a listener of another user needs root";
  QTemporaryDir tmp;
  ASSERT_EQ(::chmod(QFile::encodeName(tmp.path()).constData(), 0777), 0);
  const QString key = tmp.filePath("vorta2-foreign");
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, QFile::encodeName(key).constData(), sizeof addr.sun_path - 1);
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Another local user listening where the controller would look.
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 4) != 0) {
      ::_exit(1);
    }
    [[maybe_unused]] const auto n = ::write(ready[1], "x", 1);
    for (;;) ::pause();
  }
  char c = 0;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  TSingleInstance instance(key);
  const bool raised = instance.AskRunningCopyToRaise();
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  ::close(ready[0]);
  ::close(ready[1]);
  EXPECT_FALSE(raised);
  EXPECT_FALSE(instance.Problem().isEmpty());
}
