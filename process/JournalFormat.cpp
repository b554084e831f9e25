#include <QCryptographicHash>

#include "process/JournalFormat.h"

namespace vorta {

QString JournalHeaderLine() {
  return QStringLiteral("Time\tUser\tVessel\tVesselName\tKind\tSubject\tOld\tNew\tSource\tChain");
}

QString JournalSeed() {
  return QString(kJournalChainLength, u'0');
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

}  // namespace vorta
