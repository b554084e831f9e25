#pragma once
// A throw-away program folder for tests: files written as bytes, read back
// as bytes, so that write-backs can be checked to the byte.

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace vorta::test {

class TProgramFolder {
 public:
  [[nodiscard]] QString Path() const { return dir_.path() + u'/'; }
  [[nodiscard]] QString File(const QString& name) const { return dir_.filePath(name); }

  void Write(const QString& name, const QByteArray& bytes) const {
    QFile f(File(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << name.toStdString();
    f.write(bytes);
  }
  [[nodiscard]] QByteArray Read(const QString& name) const {
    QFile f(File(name));
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
  }
  [[nodiscard]] bool Exists(const QString& name) const { return QFile::exists(File(name)); }

 private:
  QTemporaryDir dir_;
};

}  // namespace vorta::test
