#pragma once
// The drive-parameter window's engine side: the DC drive's parameter
// registers on four pages, read from the register image and written one
// register per frame with a pause between frames.

#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <optional>
#include <vector>

namespace vorta {

class TCANMixer;
class TTimerService;
class IMessageSink;
class TVortaProcess;

struct TDriveParamEdit {
  const char* Name;   // the edit's name, e.g. "Editrpmstop"
  int Register;       // drive register 3..27
  const char* Group;  // group box caption, or "" for none
  const char* Label;  // the row's label
};

struct TDriveParamPage {
  const char* Caption;
  std::vector<TDriveParamEdit> Edits;  // in the order reading and writing visit them
};

// The four pages: "Защитные", "Калибровочные", "Конструктивные", "Логические".
const std::array<TDriveParamPage, 4>& DriveParamPages();

// Only a DC drive has parameter registers to configure.
TCANMixer* ConfigurableDrive(TCANMixer* drive);

inline constexpr int kReadAllSteps = 10;
inline constexpr std::uint32_t kWritePauseMs = 500;

class TDriveParams {
 public:
  TDriveParams(TTimerService& time, IMessageSink& messages) : time_(time), messages_(messages) {}

  // Called with the request number (1..kReadAllSteps) as each of the drive's
  // read requests goes out.
  std::function<void(int step)> OnReadProgress;

  // Remembers the drive and asks it for every register (about 5 s, messages
  // keep being processed). The caller then refills its page and clears
  // Modified, as "Читать" does.
  void LoadDrive(TCANMixer& drive);
  // Register k as an unsigned decimal number from the image.
  [[nodiscard]] QString ReadReg(int k) const;
  // The texts of a page's edits from the image, in table order.
  [[nodiscard]] QStringList ReadPage(int page) const;

  // Writes a page's texts to their registers, pausing between frames. Does
  // nothing unless Modified. A text that is no integer in 0..65535 stops the
  // write there with a message naming the register; the ones before it have
  // been written; refusal, when given, takes the message. Returns the number
  // of registers written.
  int WritePage(int page, const QStringList& texts, QString* refusal = nullptr);

  TCANMixer* Drive = nullptr;
  // The vessel whose drive it is: each register a write changes is recorded
  // in its journal. Not owned; none, nothing recorded.
  const TVortaProcess* Process = nullptr;
  // An edit changed since the last load or page change.
  bool Modified = false;

 private:
  TTimerService& time_;
  IMessageSink& messages_;
};

// A register value as the operator typed it: decimal or "0x"/"$" hexadecimal,
// 0..65535.
std::optional<std::uint16_t> ParseRegisterValue(const QString& text);

}  // namespace vorta
