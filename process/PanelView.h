#pragma once
// What the engine calls on a process's panel and chart windows. The Qt windows
// implement these; the headless implementations serve service mode and tests.

#include <QString>
#include <memory>

namespace vorta {

class TVortaProcess;
class TProfileFile;

class IVortaPanel {
 public:
  virtual ~IVortaPanel() = default;
  // The engine changed TPanelState (caption, status texts, colours, checks).
  virtual void PanelStateChanged() = 0;
  // Places the window by NumProcess on the screen.
  virtual void PlaceByNumber(int numProcess) = 0;
  virtual void InitValueGrid() = 0;
  virtual void ShowCurrentValues() = 0;
  virtual void ShowMinuteValues() = 0;
  // The output buttons' states changed (40-ms display).
  virtual void OutputsChanged() = 0;
  // Opens the mixer window (menu item "Миксер"); start: as by its "Старт".
  virtual void OpenMixerWindow(bool start) = 0;
  // The mixer window is open: the 2-s cycle refreshes what it shows, and a
  // normal end saves it as visible.
  [[nodiscard]] virtual bool MixerWindowOpen() const = 0;
  // The chart window was shown or hidden: the check of "График" follows it.
  virtual void ToggleChartItem() = 0;
};

class IChartView {
 public:
  virtual ~IChartView() = default;
  // Builds the chart from the process file's chart keys.
  virtual void LoadSettings(TProfileFile& file) = 0;
  // Adds the 2-s values of every line.
  virtual void FeedChart() = 0;
  // Writes the chart keys back (only after a normal end, Terminated "Y").
  virtual void SaveSettings(TProfileFile& file) = 0;
  // The panel's chart items: show or hide the window, the point interval
  // (0..5), pause, the actuation strip, and the export to a file.
  virtual void SetFormVisible(bool visible) = 0;
  virtual void SetZoom(int index) = 0;
  virtual void TogglePause() = 0;
  virtual void SetStripVisible(bool visible) = 0;
  virtual void ExportData(const QString& fileName) = 0;
};

class IWindowFactory {
 public:
  virtual ~IWindowFactory() = default;
  virtual std::unique_ptr<IVortaPanel> CreatePanel(TVortaProcess& process) = 0;
  virtual std::unique_ptr<IChartView> CreateChart(TVortaProcess& process) = 0;
};

// No windows: every call only leaves the engine's state as it is.
class THeadlessPanel final : public IVortaPanel {
 public:
  void PanelStateChanged() override {}
  void PlaceByNumber(int /*numProcess*/) override {}
  void InitValueGrid() override {}
  void ShowCurrentValues() override {}
  void ShowMinuteValues() override {}
  void OutputsChanged() override {}
  void OpenMixerWindow(bool /*start*/) override {}
  [[nodiscard]] bool MixerWindowOpen() const override { return false; }
  void ToggleChartItem() override {}
};

class THeadlessChart final : public IChartView {
 public:
  void LoadSettings(TProfileFile& /*file*/) override {}
  void FeedChart() override {}
  void SaveSettings(TProfileFile& /*file*/) override {}
  void SetFormVisible(bool /*visible*/) override {}
  void SetZoom(int /*index*/) override {}
  void TogglePause() override {}
  void SetStripVisible(bool /*visible*/) override {}
  void ExportData(const QString& /*fileName*/) override {}
};

class THeadlessWindowFactory final : public IWindowFactory {
 public:
  std::unique_ptr<IVortaPanel> CreatePanel(TVortaProcess& /*process*/) override {
    return std::make_unique<THeadlessPanel>();
  }
  std::unique_ptr<IChartView> CreateChart(TVortaProcess& /*process*/) override {
    return std::make_unique<THeadlessChart>();
  }
};

// The main form's window, as the engine sees it.
// The exit code of a start refused because another copy holds the folder.
inline constexpr int kExitFolderInUse = 5;

class IMainWindow {
 public:
  virtual ~IMainWindow() = default;
  virtual void SetCaption(const QString& caption) = 0;
  // Shows the form with "Идет завершение процессов".
  virtual void ShowShutdownPanel() = 0;
  // A second copy asked this one to come to the front.
  virtual void BringToFront() = 0;
  // Asks every window that holds the program in a modal loop (a dialog, a
  // message box) to close; true when there was one. The shutdown waits for
  // them: freeing the processes under a dialog's running loop would pull the
  // vessel out from under the code that opened it.
  virtual bool CloseModalWindows() { return false; }
};

}  // namespace vorta
