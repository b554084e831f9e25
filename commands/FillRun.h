#pragma once
// The fill run: a counted number of doses, each one pass through the phase
// table of the first process, one phase per tick of the fill timer, switching
// the medium, feed pump and valve outputs of the selected vessels. While a
// run is active the measurement and regulation timers are suspended; they run
// again when the fill window closes. The window (process/FillWindow.h) mirrors
// this state and turns the operator's actions into these calls.

#include <QCoreApplication>
#include <QString>
#include <array>
#include <cstdint>
#include <memory>

namespace vorta {

class TJournal;
class TVortaProcessList;
class TTimer;
class TTimerService;
class IMessageSink;
struct TProgramState;

class IFillView {
 public:
  virtual ~IFillView() = default;
  // Texts, captions, enabled states or the counter changed.
  virtual void FillStateChanged() = 0;
  // The engine side is being freed (shutdown): let go of it and close.
  virtual void FillFreed() = 0;
};

inline constexpr int kFillBoxes = 4;
inline constexpr int kMaxPhases = 17;

class TFillControl {
 public:
  struct TDeps {
    TProgramState& Program;
    TVortaProcessList& Processes;
    TTimerService& Time;
    IMessageSink& Messages;
    TTimer& MeasureTimer;
    TTimer& RegulationTimer;
    // The dose target: the main form's DozeCount, which it writes back at the end.
    std::int32_t& FillTarget;
  };

  // intervalMs: the phase period (the main form's FillPhaseTimer interval).
  TFillControl(TDeps deps, int intervalMs);
  ~TFillControl();
  TFillControl(const TFillControl&) = delete;
  TFillControl& operator=(const TFillControl&) = delete;

  // The dose target and its edit text (start-up reads DozeCount into both).
  void SetTarget(std::int32_t target);
  // Editing the target: an integer sets it; any other text leaves it.
  void TargetEdited(const QString& text);
  void StepTargetUpClick();
  void StepTargetDownClick();
  void ResetClick();
  void SetBoxChecked(int k, bool checked);  // k = 1..4

  // "Пуск"/"Стоп". A stop lets the dose under way finish before it returns.
  // Whether the run started or stopped; this object may be gone after a
  // stop (a shutdown while the last dose finished).
  bool StartStopClick();
  // The journal the run is recorded in; none without a vessel.
  [[nodiscard]] TJournal* Journal() const;
  void OnFillTimer();

  // Whether the window may close now (always during shutdown); when it may,
  // the measurement and regulation timers run again.
  bool CloseQuery();
  // A run is under way or its last dose is still being finished.
  [[nodiscard]] bool Active() const;

  // Fields of the fill window.
  bool FillRunning = false;
  std::int32_t& FillTarget;
  std::int32_t FillDone = 0;
  std::int32_t FillCount = 0;  // ticked boxes at the last click
  std::array<bool, kFillBoxes> FillSelected{};
  std::int32_t FillStep = 0;
  std::unique_ptr<TTimer> FillTimer;

  // What the window shows.
  QString TargetText = QStringLiteral("0");
  std::array<bool, kFillBoxes> BoxEnabled{};
  std::array<bool, kFillBoxes> BoxChecked{};
  bool GroupsEnabled = true;
  bool ButtonEnabled = true;
  QString ButtonCaption = QCoreApplication::translate("vorta::FillRun", "Пуск");

  IFillView* View = nullptr;

 private:
  void Changed();
  void Stop();
  void Start();
  // P0's phase count when the run can start; otherwise tells why and 0.
  int CheckedPhaseCount();
  // The run started or stopped, into the journal (the run is the program's).
  void RecordRun(const QString& before, const QString& after, bool byOperator);

  TDeps deps_;
  // Set while the run stops itself at its target: not the operator's doing.
  bool stopAtTarget_ = false;
  // Cleared when this object is freed, so that a wait that processed
  // messages through a shutdown returns without touching it.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace vorta
