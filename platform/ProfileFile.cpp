#include "platform/ProfileFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QCoreApplication>

#include <QFile>
#include <QHash>
#include <QStringDecoder>
#include <QStringEncoder>
#include <cerrno>
#include <cstring>

#include "platform/FolderFiles.h"
#include "platform/Numbers.h"
#include "platform/SafeFile.h"

namespace vorta {

namespace {

bool SameName(const QString& a, const QString& b) {
  return a.compare(b, Qt::CaseInsensitive) == 0;
}

}  // namespace

TProfileFile::TProfileFile(QString path) : path_(std::move(path)) {
  // A FIFO or a device in the file's place would block open() for ever: only
  // a regular file is opened, and without blocking, in case one was put there
  // since the check.
  readError_ = NotARegularFile(path_);
  notRegular_ = !readError_.isEmpty();
  if (notRegular_) return;
  const int fd = ::open(QFile::encodeName(path_).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    if (QFile::exists(path_)) readError_ = QString::fromLocal8Bit(std::strerror(error));
    return;
  }
  QFile f;
  if (!f.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    readError_ = f.errorString();
    return;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    notRegular_ = true;
    readError_ = NotARegularFile(path_);
    if (readError_.isEmpty())
      readError_ = path_ + QCoreApplication::translate("vorta::ProfileFile", ": не обычный файл");
    return;
  }
  QByteArray bytes = f.readAll();
  if (f.error() != QFileDevice::NoError) {
    readError_ = f.errorString();
    return;
  }
  loaded_ = true;
  if (bytes.startsWith("\xEF\xBB\xBF")) {
    bom_ = true;
    bytes.remove(0, 3);
  }
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = utf8.decode(bytes);
  if (utf8.hasError()) {
    QStringDecoder cp1251("windows-1251");
    if (cp1251.isValid()) {
      text = cp1251.decode(bytes);
      encoding_ = TEncoding::Windows1251;
    } else {
      text = QString::fromLatin1(bytes);
      encoding_ = TEncoding::Windows1251;
    }
  }
  Parse(text);
}

void TProfileFile::Parse(const QString& content) {
  qsizetype start = 0;
  const qsizetype n = content.size();
  while (start < n) {
    qsizetype i = start;
    while (i < n && content[i] != u'\n' && content[i] != u'\r') ++i;
    TLine line{content.mid(start, i - start), {}};
    if (i < n) {
      if (content[i] == u'\r' && i + 1 < n && content[i + 1] == u'\n') {
        line.eol = QStringLiteral("\r\n");
        i += 2;
      } else {
        line.eol = QString(content[i]);
        i += 1;
      }
    }
    lines_.push_back(std::move(line));
    start = i;
  }
}

bool TProfileFile::SectionName(const QString& line, QString* name) {
  const QString t = line.trimmed();
  if (!t.startsWith(u'[')) return false;
  const qsizetype close = t.indexOf(u']');
  *name = (close < 0 ? t.mid(1) : t.mid(1, close - 1)).trimmed();
  return true;
}

bool TProfileFile::KeyOf(const QString& line, QString* key, QString* value) {
  const QString t = line.trimmed();
  if (t.isEmpty() || t.startsWith(u';') || t.startsWith(u'[')) return false;
  const qsizetype eq = t.indexOf(u'=');
  if (eq <= 0) return false;
  *key = t.left(eq).trimmed();
  if (key->isEmpty()) return false;
  if (value != nullptr) {
    QString v = t.mid(eq + 1).trimmed();
    // Profile reading drops one pair of surrounding quotes.
    if (v.size() >= 2 &&
        ((v.front() == u'"' && v.back() == u'"') || (v.front() == u'\'' && v.back() == u'\''))) {
      v = v.mid(1, v.size() - 2);
    }
    *value = v;
  }
  return true;
}

TProfileFile::TLocator TProfileFile::FindSection(const QString& section) const {
  TLocator loc;
  QString name;
  QString key;
  bool inside = false;
  for (qsizetype i = 0; i < static_cast<qsizetype>(lines_.size()); ++i) {
    const QString& text = lines_[static_cast<size_t>(i)].text;
    if (SectionName(text, &name)) {
      if (inside) break;
      if (SameName(name, section)) {
        inside = true;
        loc.header = i;
        loc.lastKey = i;
      }
      continue;
    }
    if (inside && KeyOf(text, &key, nullptr)) loc.lastKey = i;
  }
  return loc;
}

qsizetype TProfileFile::FindKey(const QString& section, const QString& key) const {
  const TLocator loc = FindSection(section);
  if (loc.header < 0) return -1;
  QString name;
  for (qsizetype i = loc.header + 1; i <= loc.lastKey; ++i) {
    if (KeyOf(lines_[static_cast<size_t>(i)].text, &name, nullptr) && SameName(name, key)) {
      return i;
    }
  }
  return -1;
}

QString TProfileFile::ReadString(const QString& section, const QString& key,
                                 const QString& def) const {
  if (accessHook_ != nullptr) accessHook_(path_, section, key, false);
  const qsizetype i = FindKey(section, key);
  if (i < 0) return def;
  QString name;
  QString value;
  KeyOf(lines_[static_cast<size_t>(i)].text, &name, &value);
  return value;
}

std::int32_t TProfileFile::ReadInteger(const QString& section, const QString& key,
                                       std::int32_t def) const {
  return ParseIntDef(ReadString(section, key, QString()), def);
}

double TProfileFile::ReadFloat(const QString& section, const QString& key, double def) const {
  return ParseRealDef(ReadString(section, key, QString()), def);
}

bool TProfileFile::ReadBool(const QString& section, const QString& key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

QStringList TProfileFile::ReadSection(const QString& section) const {
  QStringList keys;
  const TLocator loc = FindSection(section);
  if (loc.header < 0) return keys;
  QString name;
  for (qsizetype i = loc.header + 1; i <= loc.lastKey; ++i) {
    if (KeyOf(lines_[static_cast<size_t>(i)].text, &name, nullptr)) keys << name;
  }
  return keys;
}

std::vector<std::pair<QString, QString>> TProfileFile::ReadSectionValues(
    const QString& section) const {
  std::vector<std::pair<QString, QString>> pairs;
  const TLocator loc = FindSection(section);
  if (loc.header < 0) return pairs;
  // The first line of a key gives its value, as in ReadString.
  QHash<QString, QString> first;
  QString name;
  QString value;
  for (qsizetype i = loc.header + 1; i <= loc.lastKey; ++i) {
    if (!KeyOf(lines_[static_cast<size_t>(i)].text, &name, &value)) continue;
    if (accessHook_ != nullptr) accessHook_(path_, section, name, false);
    const auto it = first.constFind(name.toCaseFolded());
    pairs.emplace_back(name, it != first.cend() ? *it : value);
    if (it == first.cend()) first.insert(name.toCaseFolded(), value);
  }
  return pairs;
}

QStringList TProfileFile::ReadSections() const {
  QStringList sections;
  QString name;
  for (const TLine& line : lines_) {
    if (SectionName(line.text, &name)) sections << name;
  }
  return sections;
}

bool TProfileFile::SectionExists(const QString& section) const {
  return FindSection(section).header >= 0;
}

bool TProfileFile::ValueExists(const QString& section, const QString& key) const {
  return FindKey(section, key) >= 0;
}

QString TProfileFile::NewLineEnding() const {
  for (const TLine& line : lines_) {
    if (!line.eol.isEmpty()) return line.eol;
  }
  return QStringLiteral("\r\n");
}

void TProfileFile::WriteString(const QString& section, const QString& key, const QString& value) {
  if (accessHook_ != nullptr) accessHook_(path_, section, key, true);
  const qsizetype i = FindKey(section, key);
  if (i >= 0) {
    TLine& line = lines_[static_cast<size_t>(i)];
    QString name;
    KeyOf(line.text, &name, nullptr);
    const QString text = name + u'=' + value;
    if (line.text != text) {
      line.text = text;
      modified_ = true;
    }
    return;
  }
  const QString eol = NewLineEnding();
  // The last line may lack its line end; a line added after it needs one.
  if (!lines_.empty() && lines_.back().eol.isEmpty()) lines_.back().eol = eol;
  const TLocator loc = FindSection(section);
  if (loc.header < 0) {
    lines_.push_back({u'[' + section + u']', eol});
    lines_.push_back({key + u'=' + value, eol});
  } else {
    lines_.insert(lines_.begin() + loc.lastKey + 1, TLine{key + u'=' + value, eol});
  }
  modified_ = true;
}

void TProfileFile::WriteInteger(const QString& section, const QString& key, std::int64_t value) {
  WriteString(section, key, QString::number(value));
}

void TProfileFile::WriteBool(const QString& section, const QString& key, bool value) {
  WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

bool TProfileFile::UpdateFile() {
  if (!modified_) return true;
  if (Unreadable()) {
    error_ = QCoreApplication::translate("vorta::ProfileFile", "файл не удалось прочитать (") +
             readError_ +
             QCoreApplication::translate("vorta::ProfileFile", "), он не перезаписывается");
    return false;
  }
  QString text;
  for (const TLine& line : lines_) {
    text += line.text;
    text += line.eol;
  }
  QByteArray bytes;
  if (encoding_ == TEncoding::Windows1251) {
    QStringEncoder cp1251("windows-1251");
    bytes = cp1251.isValid() ? QByteArray(cp1251.encode(text)) : text.toLatin1();
  } else {
    if (bom_) bytes = "\xEF\xBB\xBF";
    bytes += text.toUtf8();
  }
  // Never through a link or into a file put in the place of the temporary: a
  // save replaces the name with a whole new file or leaves it as it was.
  if (!SaveWhole(path_, nullptr, bytes, &error_)) return false;
  modified_ = false;
  loaded_ = true;
  error_.clear();
  return true;
}

}  // namespace vorta
