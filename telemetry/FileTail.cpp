#include <QFile>
#include <QSaveFile>

#include "telemetry/FileTail.h"

namespace vorta {

namespace {
// A header is a few hundred bytes; a longer first line is not one.
constexpr qint64 kHeaderBytes = 4096;

QByteArray WithoutLineEnd(QByteArray line) {
  while (line.endsWith('\n') || line.endsWith('\r')) line.chop(1);
  return line;
}
}  // namespace

void TFileTail::SetDelivered(qint64 offset) {
  delivered_ = offset;
  if (read_ < offset) read_ = offset;
}

void TFileTail::StartAtEnd() {
  const qint64 size = QFile(path_).size();
  delivered_ = read_ = size;
}

void TFileTail::LoadHeader() {
  QFile f(path_);
  if (!f.open(QIODevice::ReadOnly)) return;
  const QByteArray first = f.readLine(kHeaderBytes);
  if (first.endsWith('\n')) header_ = QString::fromUtf8(WithoutLineEnd(first)).split(u'\t');
}

std::vector<TTailedLine> TFileTail::ReadLines(qint64 maxBytes) {
  std::vector<TTailedLine> lines;
  QFile f(path_);
  if (!f.open(QIODevice::ReadOnly)) return lines;
  const qint64 size = f.size();
  if (size < delivered_ || size < read_) {
    delivered_ = read_ = 0;
    header_.clear();
  }
  if (size == read_) return lines;
  if (header_.isEmpty() && read_ > 0) LoadHeader();
  if (!f.seek(read_)) return lines;
  const QByteArray chunk = f.read(std::min(maxBytes, size - read_));
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
  return lines;
}

QHash<QString, qint64> LoadDeliveredOffsets(const QString& path) {
  QHash<QString, qint64> offsets;
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return offsets;
  while (!f.atEnd()) {
    const QString line = QString::fromUtf8(WithoutLineEnd(f.readLine(4096)));
    const qsizetype tab = line.indexOf(u'\t');
    if (tab <= 0) continue;
    bool ok = false;
    const qint64 offset = line.left(tab).toLongLong(&ok);
    if (ok && offset >= 0) offsets.insert(line.mid(tab + 1), offset);
  }
  return offsets;
}

bool SaveDeliveredOffsets(const QString& path, const QHash<QString, qint64>& offsets) {
  QSaveFile f(path);
  if (!f.open(QIODevice::WriteOnly)) return false;
  QByteArray bytes;
  for (auto it = offsets.begin(); it != offsets.end(); ++it) {
    bytes += QByteArray::number(it.value()) + '\t' + it.key().toUtf8() + '\n';
  }
  if (f.write(bytes) != bytes.size() || !f.flush()) {
    f.cancelWriting();
    return false;
  }
  return f.commit();
}

}  // namespace vorta
