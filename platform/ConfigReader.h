#pragma once
// Numbers of one configuration file, read with the range each may take. A
// value that cannot be read, or that lies outside its range, takes the
// default and is noted with its section, key and text; the notes of a file
// reach the operator once. Nothing is ever wrapped into a narrower field.
// A missing key or an empty value takes the default without a note.

#include <QAnyStringView>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <limits>

namespace vorta {

class TProfileFile;

class TConfigReader {
 public:
  explicit TConfigReader(const TProfileFile& file) : file_(file) {}

  // A whole number in [min, max] (decimal, or "0x"/"$" hexadecimal).
  std::int64_t Int(QAnyStringView section, QAnyStringView key, std::int64_t def, std::int64_t min,
                   std::int64_t max);
  // A whole number over the range of the field it is stored in.
  template <typename T>
  T Int(QAnyStringView section, QAnyStringView key, T def) {
    return static_cast<T>(
        Int(section, key, def, std::numeric_limits<T>::min(), std::numeric_limits<T>::max()));
  }
  // A finite real, with a point or one decimal comma.
  double Real(QAnyStringView section, QAnyStringView key, double def);

  // The same rules for text the caller has taken from the file itself (by
  // position, or a piece of a list); key names it in the note.
  std::int64_t IntText(QAnyStringView section, QAnyStringView key, const QString& text,
                       std::int64_t def, std::int64_t min, std::int64_t max);
  double RealText(QAnyStringView section, QAnyStringView key, const QString& text, double def);

  // Adds a note of the caller's own about this file.
  void Note(const QString& line) { notes_ << line; }
  [[nodiscard]] const QStringList& Notes() const { return notes_; }
  // One text for the operator naming the file and every value that took its
  // default; empty when nothing was noted.
  [[nodiscard]] QString Report() const;

 private:
  [[nodiscard]] QString Text(QAnyStringView section, QAnyStringView key) const;
  void NoteValue(QAnyStringView section, QAnyStringView key, const QString& text,
                 const QString& why, const QString& def);

  const TProfileFile& file_;
  QStringList notes_;
};

}  // namespace vorta
