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
#include <optional>

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

  // A number no default can stand in for (an output, an address): a missing
  // or empty key gives def; a text that cannot be read or lies outside
  // [min, max] gives nothing and is noted as refused, and the caller does not
  // start what depends on it.
  std::optional<std::int64_t> Checked(QAnyStringView section, QAnyStringView key, std::int64_t def,
                                      std::int64_t min, std::int64_t max);
  std::optional<std::int64_t> CheckedText(QAnyStringView section, QAnyStringView key,
                                          const QString& text, std::int64_t def, std::int64_t min,
                                          std::int64_t max);
  [[nodiscard]] const QStringList& Refused() const { return refused_; }
  // Adds a refusal of the caller's own about this file.
  void Refuse(const QString& line) { refused_ << line; }
  // One text naming the file, every refused value and `consequence` (what
  // was not started); empty when nothing was refused.
  [[nodiscard]] QString RefusedReport(const QString& consequence) const;

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
  QStringList refused_;
};

}  // namespace vorta
