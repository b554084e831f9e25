#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/FolderFiles.h"
#include "platform/SafeFile.h"
#include "telemetry/FileTail.h"
#include "telemetry/MqttReasons.h"

namespace vorta {

namespace {
// A header is a few hundred bytes; a longer first line is not one.
constexpr qint64 kHeaderBytes = 4096;
// How far back a line start is looked for; a longer line is no row of ours.
constexpr qint64 kLongestLine = qint64{64} * 1024;
// The offsets file holds a line per file: a bigger one is not ours.
constexpr qint64 kOffsetsFileBytes = qint64{1024} * 1024;

QByteArray WithoutLineEnd(QByteArray line) {
  while (line.endsWith('\n') || line.endsWith('\r')) line.chop(1);
  return line;
}

TFileIdentity IdentityOf(const struct stat& st) {
  return {static_cast<quint64>(st.st_dev), static_cast<quint64>(st.st_ino)};
}

// Up to `length` bytes at `offset`; fewer at the end of the file.
QByteArray ReadAt(int fd, qint64 offset, qint64 length) {
  QByteArray bytes(static_cast<qsizetype>(std::max<qint64>(length, 0)), Qt::Uninitialized);
  qsizetype done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::pread(fd, bytes.data() + done, static_cast<size_t>(bytes.size() - done),
                              static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  bytes.truncate(done);
  return bytes;
}

TMqttText Tr(const char* source) {
  return TMqttText::Tr("vorta::FileTail", source);
}
}  // namespace

TFileTail::~TFileTail() {
  Detach();
}

TFileTail::TFileTail(TFileTail&& other) noexcept
    : path_(std::move(other.path_)),
      fd_(std::exchange(other.fd_, -1)),
      identity_(other.identity_),
      delivered_(other.delivered_),
      read_(other.read_),
      checkOffset_(other.checkOffset_),
      unusableTold_(other.unusableTold_),
      header_(std::move(other.header_)),
      notices_(std::move(other.notices_)) {}

void TFileTail::SetDelivered(qint64 offset) {
  delivered_ = offset;
  if (read_ < offset) read_ = offset;
}

void TFileTail::Resume(const TDeliveredOffset& kept) {
  Detach();
  header_.clear();
  identity_ = kept.Identity;
  delivered_ = read_ = kept.Offset;
  checkOffset_ = true;
}

void TFileTail::StartAt(qint64 offset) {
  Detach();
  header_.clear();
  identity_ = {};
  delivered_ = read_ = 0;
  checkOffset_ = false;
  // Not there yet: a file made from now on is read from its start.
  if (!Attach()) return;
  struct stat st {};
  if (::fstat(fd_, &st) != 0) return;
  delivered_ = read_ = offset < 0 || offset > st.st_size ? st.st_size : offset;
  checkOffset_ = true;
}

bool TFileTail::Attach() {
  if (fd_ >= 0) return true;
  // A FIFO or a folder in the file's place would block or mislead a read.
  TMqttText problem = SpecialFileText(path_);
  int fd = -1;
  struct stat st {};
  if (problem.IsEmpty()) {
    fd = ::open(QFile::encodeName(path_).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    // Not written yet: nothing to say.
    if (fd < 0 && errno == ENOENT) return false;
    if (fd < 0)
      problem = TMqttText::Same(QStringLiteral("%1: %2").arg(path_, SystemErrorText(errno)));
  }
  if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
    ::close(fd);
    return false;
  }
  if (!problem.IsEmpty()) {
    if (!unusableTold_) {
      Tell(Tr(QT_TRANSLATE_NOOP("vorta::FileTail",
                                "MQTT: %1; его строки не публикуются, пока это так."))
               .Arg(problem),
           true);
    }
    unusableTold_ = true;
    return false;
  }
  unusableTold_ = false;
  const TFileIdentity id = IdentityOf(st);
  if (identity_.Known() && id != identity_) {
    Tell(Tr(QT_TRANSLATE_NOOP("vorta::FileTail",
                              "MQTT: файл %1 заменён другим, пока программа не работала; новый "
                              "файл публикуется с начала, неотправленные строки прежнего (если "
                              "были) отправить нельзя."))
             .Arg(path_),
         true);
    delivered_ = read_ = 0;
    header_.clear();
    checkOffset_ = false;
  }
  identity_ = id;
  fd_ = fd;
  return true;
}

void TFileTail::Detach() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool TFileTail::PathNamesAnotherFile() const {
  struct stat st {};
  return ::stat(QFile::encodeName(path_).constData(), &st) == 0 && S_ISREG(st.st_mode) &&
         IdentityOf(st) != identity_;
}

void TFileTail::CheckKeptOffset() {
  if (read_ == 0 || ReadAt(fd_, read_ - 1, 1) == "\n") return;
  // Never from the middle of a line: its fields would be taken for others.
  const qint64 from = std::max<qint64>(0, read_ - kLongestLine);
  const QByteArray before = ReadAt(fd_, from, read_ - from);
  const qsizetype nl = before.lastIndexOf('\n');
  const qint64 start = nl < 0 ? 0 : from + nl + 1;
  Tell(Tr(QT_TRANSLATE_NOOP("vorta::FileTail",
                            "MQTT: сохранённое место в файле %1 (байт %2) приходится на середину "
                            "строки; публикация идёт с начала этой строки."))
           .Arg(path_)
           .Arg(QString::number(read_)),
       true);
  delivered_ = read_ = start;
}

void TFileTail::LoadHeader() {
  const QByteArray first = ReadAt(fd_, 0, kHeaderBytes);
  const qsizetype nl = first.indexOf('\n');
  if (nl >= 0) header_ = QString::fromUtf8(WithoutLineEnd(first.left(nl))).split(u'\t');
}

std::vector<TTailedLine> TFileTail::ReadLines(qint64 maxBytes) {
  std::vector<TTailedLine> lines;
  if (!Attach()) return lines;
  struct stat st {};
  if (::fstat(fd_, &st) != 0) return lines;
  const qint64 size = st.st_size;
  if (size < delivered_ || size < read_) {
    delivered_ = read_ = 0;
    header_.clear();
    checkOffset_ = false;
  }
  if (checkOffset_) {
    checkOffset_ = false;
    CheckKeptOffset();
  }
  if (size > read_) {
    if (header_.isEmpty() && read_ > 0) LoadHeader();
    const QByteArray chunk = ReadAt(fd_, read_, std::min(maxBytes, size - read_));
    qsizetype start = 0;
    for (;;) {
      const qsizetype nl = chunk.indexOf('\n', start);
      if (nl < 0) break;
      const qint64 end = read_ + nl + 1;
      QByteArray line = WithoutLineEnd(chunk.mid(start, nl - start));
      if (read_ + start == 0) {
        header_ = QString::fromUtf8(line).split(u'\t');
      } else if (!line.isEmpty()) {
        lines.push_back({std::move(line), end});
      }
      start = nl + 1;
    }
    // A whole chunk without a line end is no line of ours: step over it.
    if (start == 0 && chunk.size() == maxBytes) start = chunk.size();
    read_ += start;
  }
  // Replaced: once the old file is read and delivered to its end (what a
  // kill left unfinished there is never finished), the new one follows.
  if (lines.empty() && read_ == delivered_ && PathNamesAnotherFile()) {
    Detach();
    identity_ = {};
    delivered_ = read_ = 0;
    header_.clear();
    Tell(Tr(QT_TRANSLATE_NOOP("vorta::FileTail",
                              "MQTT: файл %1 заменён новым; прежний опубликован до конца, новый "
                              "публикуется с начала."))
             .Arg(path_),
         false);
  }
  return lines;
}

std::optional<TLastLines> ReadLastLines(const QString& path, qint64 maxBytes) {
  if (!NotARegularFile(path).isEmpty()) return std::nullopt;
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  TLastLines last;
  const QByteArray first = ReadAt(fd, 0, kHeaderBytes);
  const qsizetype headerEnd = first.indexOf('\n');
  if (headerEnd >= 0) {
    last.Header = QString::fromUtf8(WithoutLineEnd(first.left(headerEnd))).split(u'\t');
  }
  if (headerEnd < 0) {
    ::close(fd);
    return last;
  }
  const qint64 from = std::max<qint64>(headerEnd + 1, st.st_size - maxBytes);
  const QByteArray span = ReadAt(fd, from, st.st_size - from);
  ::close(fd);
  qsizetype start = 0;
  // Begun inside a line: that line is not whole.
  if (from > headerEnd + 1) start = span.indexOf('\n') + 1;
  for (;;) {
    const qsizetype nl = span.indexOf('\n', start);
    if (nl < 0) break;
    QByteArray line = WithoutLineEnd(span.mid(start, nl - start));
    if (!line.isEmpty()) last.Lines.push_back(std::move(line));
    start = nl + 1;
  }
  return last;
}

TKeptOffsets LoadDeliveredOffsets(const QString& path) {
  TKeptOffsets kept;
  if (TMqttText special = SpecialFileText(path); !special.IsEmpty()) {
    kept.Exists = true;
    kept.Problem = special;
    return kept;
  }
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno != ENOENT) {
      kept.Exists = true;
      kept.Problem = TMqttText::Same(SystemErrorText(errno));
    }
    return kept;
  }
  kept.Exists = true;
  QFile f;
  if (!f.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    kept.Problem = TMqttText::Same(f.errorString());
    return kept;
  }
  const QByteArray bytes = f.read(kOffsetsFileBytes + 1);
  if (bytes.size() > kOffsetsFileBytes) {
    kept.Problem =
        Tr(QT_TRANSLATE_NOOP("vorta::FileTail", "слишком большой для файла мест продолжения"));
    return kept;
  }
  static const QRegularExpression kIdentity(QStringLiteral("^(\\d+):(\\d+)\\t(.+)$"));
  int bad = 0;
  int total = 0;
  for (const QByteArray& raw : bytes.split('\n')) {
    const QString line = QString::fromUtf8(WithoutLineEnd(raw));
    if (line.trimmed().isEmpty()) continue;
    ++total;
    const qsizetype tab = line.indexOf(u'\t');
    bool ok = false;
    TDeliveredOffset entry;
    entry.Offset = tab > 0 ? line.left(tab).toLongLong(&ok) : -1;
    QString name = line.mid(tab + 1);
    if (const QRegularExpressionMatch m = kIdentity.match(name); m.hasMatch()) {
      entry.Identity = {m.captured(1).toULongLong(), m.captured(2).toULongLong()};
      name = m.captured(3);
    }
    if (!ok || entry.Offset < 0 || name.isEmpty()) {
      ++bad;
      continue;
    }
    kept.Offsets.insert(name, entry);
  }
  if (bad > 0) {
    kept.Problem = Tr(QT_TRANSLATE_NOOP("vorta::FileTail", "не читается строк: %1 из %2"))
                       .Arg(QString::number(bad))
                       .Arg(QString::number(total));
  }
  return kept;
}

TMqttText SaveDeliveredOffsets(const QString& path,
                               const QHash<QString, TDeliveredOffset>& offsets) {
  if (TMqttText special = SpecialFileText(path); !special.IsEmpty()) return special;
  QStringList names = offsets.keys();
  names.sort();
  QByteArray bytes;
  for (const QString& name : names) {
    const TDeliveredOffset& o = offsets[name];
    bytes += QByteArray::number(o.Offset) + '\t' + QByteArray::number(o.Identity.Device) + ':' +
             QByteArray::number(o.Identity.Inode) + '\t' + name.toUtf8() + '\n';
  }
  QString error;
  if (!SaveWhole(path, nullptr, bytes, &error)) return TMqttText::Same(error);
  return {};
}

}  // namespace vorta
