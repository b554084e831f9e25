#include <QCryptographicHash>
#include <QFile>
#include <algorithm>

#include "platform/SafeFile.h"
#include "journal/JournalFormat.h"

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
  if (tornLine != nullptr) tornLine->clear();
  if (!NotARegularFile(path).isEmpty()) return false;
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return false;
  qint64 pos = f.size();
  // The pieces of a line longer than a chunk, last piece first: joined once
  // when its start is found, so that a long line costs its length, not its
  // length squared.
  QList<QByteArray> pieces;
  bool last = true;
  // False when the visitor wants no more lines.
  const auto complete = [&](QByteArray line) {
    if (!pieces.isEmpty()) {
      for (qsizetype k = pieces.size() - 1; k >= 0; --k) line += pieces[k];
      pieces.clear();
    }
    if (last) {
      // What follows the final line end: nothing, or a line a kill cut short.
      last = false;
      if (tornLine != nullptr) *tornLine = QString::fromUtf8(line);
      return true;
    }
    while (line.endsWith('\r')) line.chop(1);
    return visit(QString::fromUtf8(line));
  };
  while (pos > 0) {
    const qint64 from = std::max<qint64>(0, pos - kChunk);
    if (!f.seek(from)) return false;
    const QByteArray bytes = f.read(pos - from);
    if (bytes.size() != pos - from) return false;
    pos = from;
    qsizetype end = bytes.size();
    for (qsizetype nl = end > 0 ? bytes.lastIndexOf('\n', end - 1) : -1; nl >= 0;
         nl = nl > 0 ? bytes.lastIndexOf('\n', nl - 1) : -1) {
      if (!complete(bytes.mid(nl + 1, end - nl - 1))) return true;
      end = nl;
    }
    if (end > 0) pieces.append(bytes.left(end));
  }
  // The file's first line.
  complete(QByteArray());
  return true;
}

}  // namespace vorta
