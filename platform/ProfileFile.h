#pragma once
// A Windows-style profile (INI) file: section and key names match without
// regard to letter case, the first match wins, a missing key gives the
// caller's default, and the keys of a section can be listed in file order.
//
// The file is read whole when the object is made and written whole (a new
// file renamed over the old one) by UpdateFile(): every line the caller did
// not change keeps its bytes, comments, blank lines, line ends and encoding.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <utility>
#include <vector>

namespace vorta {

class TProfileFile {
 public:
  enum class TEncoding { Utf8, Windows1251 };

  explicit TProfileFile(QString path);

  [[nodiscard]] const QString& FileName() const { return path_; }
  // False when the file did not exist or could not be read when opened.
  [[nodiscard]] bool Loaded() const { return loaded_; }
  // True when the file existed but could not be read: such a file is never
  // written, or what the program did not see would be lost.
  [[nodiscard]] bool Unreadable() const { return !readError_.isEmpty(); }
  [[nodiscard]] const QString& ReadError() const { return readError_; }
  // True when a FIFO, a device or a folder stands in the file's place: it is
  // never opened (an open could block for ever) and ReadError names it.
  [[nodiscard]] bool NotRegular() const { return notRegular_; }
  [[nodiscard]] TEncoding FileEncoding() const { return encoding_; }

  [[nodiscard]] QString ReadString(const QString& section, const QString& key,
                                   const QString& def) const;
  // Decimal or "0x"/"$" hexadecimal; any other text gives def.
  [[nodiscard]] std::int32_t ReadInteger(const QString& section, const QString& key,
                                         std::int32_t def) const;
  // A real with a point; any other text gives def.
  [[nodiscard]] double ReadFloat(const QString& section, const QString& key, double def) const;
  // "1"/"0" (any nonzero integer is true); other text gives def.
  [[nodiscard]] bool ReadBool(const QString& section, const QString& key, bool def) const;
  // The key names of the section in file order (the first section of that name).
  [[nodiscard]] QStringList ReadSection(const QString& section) const;
  // The same keys, each with the value ReadString gives for it, found in one
  // pass: a list of thousands of keys is read in linear time.
  [[nodiscard]] std::vector<std::pair<QString, QString>> ReadSectionValues(
      const QString& section) const;
  [[nodiscard]] QStringList ReadSections() const;
  [[nodiscard]] bool SectionExists(const QString& section) const;
  [[nodiscard]] bool ValueExists(const QString& section, const QString& key) const;

  // Writes keep the key name the file already has; a new key goes to the end
  // of its section, a new section to the end of the file.
  void WriteString(const QString& section, const QString& key, const QString& value);
  void WriteInteger(const QString& section, const QString& key, std::int64_t value);
  void WriteBool(const QString& section, const QString& key, bool value);

  [[nodiscard]] bool Modified() const { return modified_; }
  // Writes the file if anything changed. False (with ErrorString) when the
  // file could not be replaced or was unreadable; the old file is then left
  // as it was, byte for byte.
  bool UpdateFile();
  [[nodiscard]] const QString& ErrorString() const { return error_; }

  // Called with the file, section and key of every ReadString (which every
  // typed read goes through) and WriteString, so that a test can learn which
  // keys the program reads and writes. None by default.
  using TAccessHook = void (*)(const QString& path, const QString& section, const QString& key,
                               bool write);
  static void SetAccessHook(TAccessHook hook) { accessHook_ = hook; }

 private:
  struct TLine {
    QString text;
    QString eol;  // "\r\n", "\n", "\r" or empty for the last line
  };
  struct TLocator {
    qsizetype header = -1;   // line index of the section header
    qsizetype lastKey = -1;  // last key line of the section, or the header
  };

  void Parse(const QString& content);
  [[nodiscard]] TLocator FindSection(const QString& section) const;
  [[nodiscard]] qsizetype FindKey(const QString& section, const QString& key) const;
  [[nodiscard]] QString NewLineEnding() const;

  static bool SectionName(const QString& line, QString* name);
  static bool KeyOf(const QString& line, QString* key, QString* value);

  QString path_;
  std::vector<TLine> lines_;
  TEncoding encoding_ = TEncoding::Utf8;
  bool bom_ = false;
  bool loaded_ = false;
  bool notRegular_ = false;
  bool modified_ = false;
  QString error_;
  QString readError_;
  static inline TAccessHook accessHook_ = nullptr;
};

}  // namespace vorta
