#pragma once
// Program-wide values and what a process needs from its owners. Owners pass
// this along; nothing here is a global.

#include <QString>
#include <array>
#include <cstdint>

namespace vorta {

class TTimerService;
class IMessageSink;
class IWindowFactory;
class TCANBus;
class TVortaProcessList;

struct TProgramState {
  QString ProgramFolder;  // with trailing separator
  bool ShutdownRequested = false;
  std::int32_t DefWarm = 0;
  std::int32_t IndexWater = 8;
  std::int32_t IndexSteam = 7;
  // Elapsed-fermentation-time clock
  bool EftRunning = false;
  double EftStart = 0;
  std::int32_t EftSeconds = 0;
  std::int32_t EftLastSecond = 0;
  QString EftText = QStringLiteral("EFT:0:0");
  std::int32_t TwoSecondTicks = 0;
  // Interval of the 40-ms timer, for Tick40ms.
  int Timer40msInterval = 40;
};

struct TVortaEnv {
  TProgramState& Program;
  TTimerService& Time;
  IMessageSink& Messages;
  IWindowFactory& Windows;
  TCANBus* Bus = nullptr;                  // null when no CAN configuration loaded
  TVortaProcessList* Processes = nullptr;  // for FindProcess across vessels
};

// What the panel window shows that the engine owns: the window mirrors it.
struct TPanelState {
  QString Caption;
  std::array<QString, 5> StatusText{};  // status bar panels 0..4
  // Colours as the system stores them (red in the low byte); -1 = default.
  std::array<std::int32_t, 5> StatusColor{-1, -1, -1, -1, -1};
  std::int32_t ProtocolMenuChecked = 0;  // 1, 2, 5, 10, 15 or 0 for none
  bool LightButtonVisible = false;
  bool OnlyMinimizeIcon = false;
};

}  // namespace vorta
