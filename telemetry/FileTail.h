#pragma once
// Reads a growing text file (a data log or the journal) forward from a byte
// offset, whole lines only, a bounded chunk at a time: the file on disk is
// the queue of what is still to be published, so an outage holds nothing in
// memory. Used by the publisher's thread only.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <vector>

namespace vorta {

struct TTailedLine {
  QByteArray Line;  // without its line end
  qint64 End = 0;   // offset just past its line end
};

class TFileTail {
 public:
  explicit TFileTail(QString path) : path_(std::move(path)) {}

  [[nodiscard]] const QString& Path() const { return path_; }
  // Everything before this offset has been delivered.
  [[nodiscard]] qint64 Delivered() const { return delivered_; }
  void SetDelivered(qint64 offset);
  // No recorded offset: begin with what is written from now on.
  void StartAtEnd();
  // After a lost connection: read again from what was delivered.
  void Rewind() { read_ = delivered_; }
  // Everything before this offset has been read (and published or skipped).
  [[nodiscard]] qint64 ReadPosition() const { return read_; }

  // Whole lines after the read position, at most about maxBytes of them. The
  // first line of the file is its header: kept as field names, not returned.
  // A file that became shorter was started again: read from its beginning.
  std::vector<TTailedLine> ReadLines(qint64 maxBytes);
  [[nodiscard]] const QStringList& Header() const { return header_; }

 private:
  void LoadHeader();

  QString path_;
  qint64 delivered_ = 0;
  qint64 read_ = 0;
  QStringList header_;
};

// Delivered offsets per file, kept in a small file so that a restart resumes
// where the last run stopped. Lines "<offset>\t<file name>".
QHash<QString, qint64> LoadDeliveredOffsets(const QString& path);
bool SaveDeliveredOffsets(const QString& path, const QHash<QString, qint64>& offsets);

}  // namespace vorta
