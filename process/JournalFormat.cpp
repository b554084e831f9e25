#include <QCryptographicHash>
#include <QFile>
#include <algorithm>

#include "process/JournalFormat.h"

namespace vorta {

QString JournalHeaderLine() {
  return QStringLiteral("Time\tUser\tVessel\tVesselName\tKind\tSubject\tOld\tNew\tSource\tChain");
}

QString JournalSeed() {
  return {kJournalChainLength, u'0'};
}

QString JournalChain(const QString& previousChain, const QString& columnsWithoutChain) {
  QCryptographicHash hash(QCryptographicHash::Sha256);
  hash.addData(previousChain.toUtf8());
  hash.addData(QByteArrayView("\t", 1));
  hash.addData(columnsWithoutChain.toUtf8());
  return QString::fromLatin1(hash.result().toHex());
}

QString EscapeJournalField(const QString& text) {
  QString out;
  out.reserve(text.size());
  for (const QChar c : text) {
    switch (c.unicode()) {
      case u'\\':
        out += QStringLiteral("\\\\");
        break;
      case u'\t':
        out += QStringLiteral("\\t");
        break;
      case u'\n':
        out += QStringLiteral("\\n");
        break;
      case u'\r':
        out += QStringLiteral("\\r");
        break;
      default:
        out += c;
    }
  }
  return out;
}

bool SplitJournalLine(const QString& line, QString* columnsWithoutChain, QString* chain) {
  if (line.count(u'\t') != kJournalColumns - 1) return false;
  const qsizetype lastTab = line.lastIndexOf(u'\t');
  const QString tail = line.mid(lastTab + 1);
  if (tail.size() != kJournalChainLength) return false;
  for (const QChar c : tail) {
    if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f'))) return false;
  }
  *columnsWithoutChain = line.left(lastTab);
  *chain = tail;
  return true;
}

QString UnescapeJournalField(const QString& text) {
  QString out;
  out.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c != u'\\' || i + 1 == text.size()) {
      out += c;
      continue;
    }
    const QChar next = text[++i];
    switch (next.unicode()) {
      case u't':
        out += u'\t';
        break;
      case u'n':
        out += u'\n';
        break;
      case u'r':
        out += u'\r';
        break;
      default:
        out += next;
    }
  }
  return out;
}

std::optional<TJournalLine> ParseJournalLine(const QString& line) {
  const QStringList f = line.split(u'\t');
  if (f.size() != kJournalColumns) return std::nullopt;
  const auto u = [&f](int i) { return UnescapeJournalField(f[i]); };
  return TJournalLine{u(0), u(1), u(2), u(3), u(4), u(5), u(6), u(7), u(8), f[9]};
}

bool ReadJournalBackwards(const QString& path, const std::function<bool(const QString&)>& visit,
                          QString* tornLine) {
  constexpr qint64 kChunk = qint64{64} * 1024;
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return false;
  qint64 pos = f.size();
  QByteArray carry;  // the start of the chunk after this one: a line cut by the chunk's edge
  bool last = true;
  while (pos > 0) {
    const qint64 from = std::max<qint64>(0, pos - kChunk);
    if (!f.seek(from)) return false;
    QByteArray bytes = f.read(pos - from);
    if (bytes.size() != pos - from) return false;
    pos = from;
    bytes += carry;
    QList<QByteArray> lines = bytes.split('\n');
    carry = from > 0 ? lines.takeFirst() : QByteArray();
    if (lines.isEmpty()) continue;
    if (last) {
      // What follows the final line end: nothing, or a line a kill cut short.
      if (tornLine != nullptr) *tornLine = QString::fromUtf8(lines.last());
      lines.removeLast();
      last = false;
    }
    for (qsizetype i = lines.size() - 1; i >= 0; --i) {
      QByteArray& line = lines[i];
      if (line.endsWith('\r')) line.chop(1);
      if (!visit(QString::fromUtf8(line))) return true;
    }
  }
  if (last && tornLine != nullptr) tornLine->clear();
  return true;
}

}  // namespace vorta
