#pragma once
// Reads a growing text file (a data log or the journal) forward from a byte
// offset, whole lines only, a bounded chunk at a time: the file on disk is
// the queue of what is still to be published, so an outage holds nothing in
// memory. Used by the publisher's thread only.
//
// The offset belongs to one file, known by its device and inode: a file
// deleted or renamed away and made again under the same name is another
// file. The tail keeps the one it follows open, reads it to its end even
// after it was replaced, and only then goes on with the new one from its
// beginning.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "platform/FolderFiles.h"
#include "telemetry/MqttText.h"

namespace vorta {

struct TTailedLine {
  QByteArray Line;  // without its line end
  qint64 End = 0;   // offset just past its line end
};

// How far one file has been delivered, as kept across runs.
struct TDeliveredOffset {
  qint64 Offset = 0;
  TFileIdentity Identity;  // unknown in lines of the older form
};

// Something about the followed file worth telling; Operator: the operator
// must hear it (otherwise it only goes to the journal).
struct TTailNotice {
  QString Text;   // Russian, as the journal keeps it
  QString Shown;  // the same in the operator's language
  bool Operator = true;
};

class TFileTail {
 public:
  explicit TFileTail(QString path) : path_(std::move(path)) {}
  ~TFileTail();
  TFileTail(TFileTail&& other) noexcept;
  TFileTail& operator=(TFileTail&&) = delete;
  TFileTail(const TFileTail&) = delete;
  TFileTail& operator=(const TFileTail&) = delete;

  [[nodiscard]] const QString& Path() const { return path_; }
  // Everything before this offset has been delivered.
  [[nodiscard]] qint64 Delivered() const { return delivered_; }
  // What to keep for the next run.
  [[nodiscard]] TDeliveredOffset Kept() const { return {delivered_, identity_}; }
  void SetDelivered(qint64 offset);
  // Resumes where a previous run stopped; checked against the file at the
  // first read.
  void Resume(const TDeliveredOffset& kept);
  // Begins at this offset of the file as it is now (at its end when the
  // offset is past it or negative).
  void StartAt(qint64 offset);
  // After a lost connection: read again from what was delivered.
  void Rewind() { read_ = delivered_; }
  // Everything before this offset has been read (and published or skipped).
  [[nodiscard]] qint64 ReadPosition() const { return read_; }

  // Whole lines after the read position, at most about maxBytes of them. The
  // first line of the file is its header: kept as field names, not returned.
  // A file that became shorter was started again: read from its beginning.
  std::vector<TTailedLine> ReadLines(qint64 maxBytes);
  [[nodiscard]] const QStringList& Header() const { return header_; }
  // What happened to the file since the last call, each thing told once.
  std::vector<TTailNotice> TakeNotices() { return std::exchange(notices_, {}); }

 private:
  bool Attach();
  void Detach();
  [[nodiscard]] bool PathNamesAnotherFile() const;
  void CheckKeptOffset();
  void LoadHeader();
  void Tell(const TMqttText& text, bool toOperator) {
    notices_.push_back({text.Written, text.Shown, toOperator});
  }

  QString path_;
  int fd_ = -1;
  TFileIdentity identity_;  // of the file the offsets belong to
  qint64 delivered_ = 0;
  qint64 read_ = 0;
  bool checkOffset_ = false;   // a kept offset not yet checked against the file
  bool unusableTold_ = false;  // the file cannot be read, and that was told
  QStringList header_;
  std::vector<TTailNotice> notices_;
};

// The end of a text file: its header (the first line, as field names) and
// the whole lines in its last maxBytes, oldest first, without line ends or
// empty lines. A line cut by the start of that span and a last line without
// its line end are left out. Nothing when it cannot be read or is no regular
// file.
struct TLastLines {
  QStringList Header;
  std::vector<QByteArray> Lines;
};
std::optional<TLastLines> ReadLastLines(const QString& path, qint64 maxBytes);

// The offsets file: a line "<offset>\t<device>:<inode>\t<file name>" per
// file ("<offset>\t<file name>" in files of older runs, still read).
struct TKeptOffsets {
  QHash<QString, TDeliveredOffset> Offsets;
  bool Exists = false;
  // Set when the file exists but could not be used whole: what is wrong.
  TMqttText Problem;
};
TKeptOffsets LoadDeliveredOffsets(const QString& path);
// Empty when written; otherwise why not.
TMqttText SaveDeliveredOffsets(const QString& path,
                               const QHash<QString, TDeliveredOffset>& offsets);

}  // namespace vorta
