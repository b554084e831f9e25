#pragma once
// Program-wide values and what a process needs from its owners. Owners pass
// this along; nothing here is a global.

#include <QSet>
#include <QString>
#include <array>
#include <cstdint>
#include <memory>

namespace vorta {

class TTimerService;
class IMessageSink;
class IWindowFactory;
class TCANBus;
class TVortaProcessList;
class TCANService;
class TJournal;
class TAlarms;
class TFolderFd;

struct TProgramState {
  QString ProgramFolder;  // with trailing separator
  // The folder opened at start: the files written in it are opened relative
  // to it. Null where nobody opened it (tests): each write opens the folder.
  std::shared_ptr<const TFolderFd> Folder;
  bool ShutdownRequested = false;
  // The run is ended from outside (the service manager's signal, a logout or
  // a shutdown), not by the operator: the end is as orderly, but each vessel
  // keeps its mode for the next start, as after a crash.
  bool KeepModesAtEnd = false;
  std::int32_t DefWarm = 0;
  std::int32_t IndexWater = 8;
  std::int32_t IndexSteam = 7;
  // Elapsed-fermentation-time clock
  bool EftRunning = false;
  double EftStart = 0;          // shown: the date-time it was started
  std::int64_t EftStartMs = 0;  // counted from: the monotonic clock's ms at the start
  double EftStop = 0;           // when "Стоп" last stopped it; 0 never or running
  std::int32_t EftSeconds = 0;
  std::int32_t EftLastSecond = 0;
  QString EftText = QStringLiteral("EFT:0:0");
  std::int32_t TwoSecondTicks = 0;
  // Configuration files whose last write failed and was reported.
  QSet<QString> FailedWrites;
};

struct TVortaEnv {
  TProgramState& Program;
  TTimerService& Time;
  IMessageSink& Messages;
  IWindowFactory& Windows;
  TCANBus* Bus = nullptr;                  // null when no CAN configuration loaded
  TVortaProcessList* Processes = nullptr;  // for FindProcess across vessels
  TCANService* canService = nullptr;       // the adapter's state for the status window
  TJournal* Journal = nullptr;             // the folder's journal; null when none is kept
  TAlarms* Alarms = nullptr;               // the program's alarm list; null in bare tests
};

// Colours as the system stores them (red in the low byte).
inline constexpr std::int32_t kClBtnFace = 0xF0F0F0;
inline constexpr std::int32_t kClBtnShadow = 0xA0A0A0;
inline constexpr std::int32_t kClYellow = 0x00FFFF;
inline constexpr std::int32_t kClBlack = 0x000000;

// What the mixer window shows, refreshed by the 2-s cycle while it is open.
struct TMixerViewState {
  QString CodeText;
  QString SpeedText;
  std::array<QString, 3> StatusText{};
  std::int32_t StatusColor = -1;
  QString SimpleText;  // "Миксер не задан!" replaces the panels when set
};

// What the panel window shows that the engine owns: the window mirrors it.
struct TPanelState {
  QString Caption;
  // Status bar panels 0..4; panel 3 starts as "Net   " until the first link check.
  std::array<QString, 5> StatusText{QString(), QString(), QString(), QStringLiteral("Net   "),
                                    QString()};
  // Colours as the system stores them (red in the low byte); -1 = default.
  std::array<std::int32_t, 5> StatusColor{-1, -1, -1, -1, -1};
  // The mode whose name StatusText[2] shows as the 2-s cycle put it; -1 when
  // something else wrote that panel since.
  std::int32_t ShownMode = -1;
  // The speed StatusText[1] shows as the 2-s cycle put it; -1 before the first.
  std::int32_t ShownRpm = -1;
  // When not empty the status bar shows this single text instead of its panels.
  QString SimpleText;
  std::int32_t LightFontColor = kClBlack;
  bool FoamIndicator = false;
  bool DriveMenuVisible = false;
  TMixerViewState MixerView;
  std::int32_t ProtocolMenuChecked = 0;  // 1, 2, 5, 10, 15 or 0 for none
  bool LightButtonVisible = false;
  bool OnlyMinimizeIcon = false;
  // The vessel's active alarms (its own and the program's): the newest with a
  // count of the others, all of them one a line, and the colour the status
  // bar takes (red while one is not acknowledged); empty and -1 when none.
  QString AlarmText;
  QString AlarmDetails;
  std::int32_t AlarmColor = -1;
  std::uint64_t AlarmRevisionShown = ~std::uint64_t{0};  // the alarm list's, when put
};

}  // namespace vorta
