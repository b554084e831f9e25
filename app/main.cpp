// The controller's entry: options, the application object, the communication
// module and the main form; signals run the orderly shutdown.

#include <fcntl.h>
#include <sys/socket.h>
#include <sysexits.h>
#include <unistd.h>
#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcessEnvironment>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <variant>

#include "app/ControlClient.h"
#include "app/DefaultFolder.h"
#include "app/DemoFolder.h"
#include "app/FolderClaim.h"
#include "app/HeadlessStatus.h"
#include "app/MainForm.h"
#include "app/PlantHost.h"
#include "app/StallWatch.h"
#include "can/AdapterFactory.h"
#include "can/Chai.h"
#include "devices/CANService.h"
#include "journal/Alarms.h"
#include "journal/Journal.h"
#include "journal/JournalVerify.h"
#include "plans/PlanHost.h"
#include "platform/ControlSocket.h"
#include "platform/Language.h"
#include "platform/Messages.h"
#include "platform/ProfileFile.h"
#include "platform/RealTimerService.h"
#include "platform/TimerService.h"
#include "process/PanelView.h"
#include "telemetry/MqttTelemetry.h"
#include "windows/dialogs/PlanWindow.h"
#include "windows/fill/FillWindow.h"
#include "windows/main/MainWindow.h"
#include "windows/main/MessageBoxSink.h"
#include "windows/main/RussianQtTexts.h"
#include "windows/panel/QtWindowFactory.h"

namespace {

int gSignalPipe[2] = {-1, -1};
volatile std::sig_atomic_t gStopRequested = 0;

void OnSignal(int /*sig*/) {
  // Only async-signal-safe work here: the main thread does the rest.
  gStopRequested = 1;
  const char c = 1;
  if (gSignalPipe[1] >= 0) {
    [[maybe_unused]] const auto n = ::write(gSignalPipe[1], &c, 1);
  }
}

// Installed before anything is loaded, so that a signal during a long start
// or a fast-forward ends the run in order instead of killing it.
void InstallSignalHandling() {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, gSignalPipe) == 0) {
    // A burst of signals must never block the handler on a full pipe.
    ::fcntl(gSignalPipe[1], F_SETFL, O_NONBLOCK);
  }
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  // The terminal or the session it ran in has gone.
  std::signal(SIGHUP, OnSignal);
}

bool HasDisplay() {
  return !qEnvironmentVariableIsEmpty("DISPLAY") ||
         !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
         !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

bool WantsHeadless(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const QByteArray a(argv[i]);
    if (a == "--headless" || a == "--help" || a == "-h" || a == "--version" || a == "-v" ||
        a.startsWith("--fast-forward") || a == "--verify-journal") {
      return true;
    }
  }
  return !HasDisplay();
}

bool TriesPlans(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const QByteArray a(argv[i]);
    if (a == "--plan" || a.startsWith("--plan=")) return true;
  }
  return false;
}

class TChaiNotices {
 public:
  explicit TChaiNotices(vorta::IMessageSink& messages) {
    vorta::ChaiSetNoticeHook([&messages](const QString& text) { messages.ShowInfo(text); });
  }
  ~TChaiNotices() { vorta::ChaiSetNoticeHook({}); }
  TChaiNotices(const TChaiNotices&) = delete;
  TChaiNotices& operator=(const TChaiNotices&) = delete;
};

void Print(const QString& line) {
  std::fprintf(stdout, "%s\n", line.toLocal8Bit().constData());
  std::fflush(stdout);
}

void PrintError(const QString& line) {
  std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
}

// The command line as read; the folder is resolved later, against the
// executable's folder and the environment.
struct TOptions {
  bool Headless = false;  // also without a display
  std::optional<QString> Folder;
  bool Demo = false;
  bool Prepare = false;
  std::optional<double> FastForwardHours;
  bool Fill = false;
  bool StallReport = false;
  bool VerifyJournal = false;
  QString JournalPath;             // empty: the folder's own
  QString Language;                // empty: not given
  vorta::TFastForwardPlans Plans;  // tried on the virtual plant
};

// A command line refused: what to say and the exit code.
struct TRefusal {
  QString Text;
  int ExitCode = EX_USAGE;
};

// A command line the program cannot take: its own exit code, so that a script
// or a service manager tells it from a folder without Vorta.ini (1).
TRefusal UsageError(const QString& text) {
  return {QStringLiteral("vorta: %1\nTry 'vorta --help'.").arg(text), EX_USAGE};
}

// --help and --version are answered here and end the program.
std::variant<TOptions, TRefusal> ParseOptions(QCoreApplication& app, bool headless) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Supervisory controller for laboratory fermenters.\n\n"
                     "vorta ctl [--folder DIR | --instance NAME] [--json] COMMAND ...\n"
                     "  operates the copy running on a folder without windows: status, alarms,\n"
                     "  journal, params, outputs, version, mode, setpoint, ack, stirrer\n"
                     "  (vorta ctl --help lists them)."));
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption folderOption(
      QStringLiteral("folder"),
      QStringLiteral("Program folder with Vorta.ini (default: the executable's folder; for an "
                     "installed program, $XDG_DATA_HOME/vorta)."),
      QStringLiteral("DIR"));
  const QCommandLineOption headlessOption(QStringLiteral("headless"),
                                          QStringLiteral("Run without windows."));
  const QCommandLineOption demoOption(
      QStringLiteral("demo"),
      QStringLiteral("Prepare a demo folder with four virtual vessels (reused if present) "
                     "and run it."));
  const QCommandLineOption fastForwardOption(
      QStringLiteral("fast-forward"),
      QStringLiteral("Run the folder on virtual time with the virtual plant for HOURS simulated "
                     "hours, headless, then shut down in order."),
      QStringLiteral("HOURS"));
  parser.addOption(folderOption);
  parser.addOption(headlessOption);
  parser.addOption(demoOption);
  const QCommandLineOption fillOption(
      QStringLiteral("fill"),
      QStringLiteral("Open the fill window (\"Заполнение\", in English \"Fill\") once the "
                     "vessels are loaded."));
  parser.addOption(fastForwardOption);
  parser.addOption(fillOption);
  const QCommandLineOption stallOption(
      QStringLiteral("stall-report"),
      QStringLiteral("At the end, print the longest time the main thread did not serve its "
                     "events (windows and timers)."));
  parser.addOption(stallOption);
  const QCommandLineOption verifyOption(
      QStringLiteral("verify-journal"),
      QStringLiteral("Check the chain of the journal FILE given as argument (default: "
                     "VortaJournal.txt of the folder); exit 0 when it matches, 1 when a line "
                     "does not, 3 when only the last line was cut by a kill."));
  parser.addOption(verifyOption);
  const QCommandLineOption prepareOption(
      QStringLiteral("prepare"),
      QStringLiteral("With --demo: write the demo folder and exit, without running it (a service "
                     "folder then starts without simulated rows)."));
  parser.addOption(prepareOption);
  const QCommandLineOption langOption(
      QStringLiteral("lang"),
      QStringLiteral("Language of the windows and messages: ru, en or auto (over [Program] "
                     "Language= of Vorta.ini; auto: English on an English system, Russian "
                     "otherwise). Files and published data stay Russian."),
      QStringLiteral("LANG"));
  parser.addOption(langOption);
  const QCommandLineOption planOption(
      QStringLiteral("plan"),
      QStringLiteral("With --fast-forward: try the run plan FILE on vessel N of the virtual plant "
                     "(repeatable) and write PlanReport<N>.txt and PlanReport<N>.png beside the "
                     "data logs."),
      QStringLiteral("N=FILE"));
  parser.addOption(planOption);
  // QCommandLineParser::process() would end a bad command line with 1, the
  // code of a folder without Vorta.ini; it only serves --help and --version here.
  if (!parser.parse(QCoreApplication::arguments())) return UsageError(parser.errorText());
  parser.process(app);

  TOptions options;
  options.Headless = headless;
  options.VerifyJournal = parser.isSet(verifyOption);
  const QStringList words = parser.positionalArguments();
  if (words.size() > (options.VerifyJournal ? 1 : 0)) {
    return UsageError(QStringLiteral("unexpected argument '%1'").arg(words.constLast()));
  }
  if (!words.isEmpty()) options.JournalPath = words.constFirst();
  // Checked before any folder is prepared: a refused run leaves nothing behind.
  if (parser.isSet(fastForwardOption)) {
    bool ok = false;
    const double hours = parser.value(fastForwardOption).toDouble(&ok);
    // Written so that NaN is refused too.
    if (!ok || !(hours > 0 && hours <= 24.0 * 366)) {
      return TRefusal{
          QStringLiteral("vorta: --fast-forward takes a number of hours (0 < HOURS <= 8784)"), 2};
    }
    options.FastForwardHours = hours;
  }
  for (const QString& text : parser.values(planOption)) {
    vorta::TPlanTrial trial;
    if (!vorta::ParsePlanTrial(text, &trial)) {
      return UsageError(QStringLiteral("--plan takes N=FILE, N the vessel's number"));
    }
    options.Plans.Trials.push_back(trial);
  }
  if (!options.Plans.Trials.empty() && !options.FastForwardHours) {
    return UsageError(QStringLiteral("--plan goes with --fast-forward"));
  }
  options.Demo = parser.isSet(demoOption);
  options.Prepare = parser.isSet(prepareOption);
  if (options.Prepare && !options.Demo) {
    return UsageError(QStringLiteral("--prepare goes with --demo"));
  }
  options.Language = parser.value(langOption);
  if (std::optional<vorta::TLanguage> lang;
      parser.isSet(langOption) && !vorta::ParseLanguage(options.Language, &lang)) {
    return UsageError(QStringLiteral("--lang takes ru, en or auto"));
  }
  if (parser.isSet(folderOption)) options.Folder = parser.value(folderOption);
  options.Fill = parser.isSet(fillOption);
  options.StallReport = parser.isSet(stallOption);
  return options;
}

int RunVerify(const TOptions& options, const QString& folder) {
  const QString path = options.JournalPath.isEmpty()
                           ? QDir(folder).filePath(vorta::kJournalFileName)
                           : options.JournalPath;
  const vorta::TJournalCheck check = vorta::VerifyJournal(path);
  const QString line = path + QStringLiteral(": ") + check.Text();
  if (check.Status == vorta::TJournalCheck::TStatus::Ok) {
    Print(line);
  } else {
    PrintError(line);
  }
  switch (check.Status) {
    case vorta::TJournalCheck::TStatus::Ok:
      return 0;
    case vorta::TJournalCheck::TStatus::TornTail:
      return 3;
    default:
      return 1;
  }
}

// What a run with windows and one without do differently around the main form.
class TFrontEnd {
 public:
  virtual ~TFrontEnd() = default;
  virtual vorta::IMessageSink& Messages() = 0;
  virtual vorta::IWindowFactory& Windows() = 0;
  virtual vorta::IMainWindow& Window() = 0;
  // Right after the vessels are loaded.
  virtual void Started(vorta::TMainForm& /*form*/) {}
  // Just before the event loop.
  virtual void Running(vorta::TMainForm& form, vorta::TTimerService& time) = 0;
  // After the shutdown, before the form goes.
  virtual void Finished() = 0;
};

class THeadlessFront final : public TFrontEnd {
 public:
  vorta::IMessageSink& Messages() override { return messages_; }
  vorta::IWindowFactory& Windows() override { return windows_; }
  vorta::IMainWindow& Window() override { return window_; }
  void Started(vorta::TMainForm& form) override { vorta::PrintAlarmsToStderr(form.Alarms()); }
  void Running(vorta::TMainForm& form, vorta::TTimerService& time) override {
    statusTimer_ = time.CreateTimer(2000);
    statusTimer_->OnTimer = [&form] {
      for (const auto& p : form.Processes()) Print(vorta::StatusLine(*p));
    };
    statusTimer_->SetEnabled(true);
  }
  void Finished() override { statusTimer_.reset(); }

 private:
  vorta::TStderrMessageSink messages_;
  vorta::THeadlessWindowFactory windows_;
  vorta::THeadlessMainWindow window_;
  std::unique_ptr<vorta::TTimer> statusTimer_;
};

class TWindowsFront final : public TFrontEnd {
 public:
  explicit TWindowsFront(bool fill) : fill_(fill) {
    // Panels refuse to close; the program ends through its own shutdown.
    QApplication::setQuitOnLastWindowClosed(false);
  }
  vorta::IMessageSink& Messages() override { return messages_; }
  vorta::IWindowFactory& Windows() override { return windows_; }
  vorta::IMainWindow& Window() override { return window_; }
  void Running(vorta::TMainForm& form, vorta::TTimerService& /*time*/) override {
    // The panel menu keeps its fill item hidden: this is the way to the window.
    if (fill_ && form.Fill() != nullptr) {
      fillWindow_ = std::make_unique<vorta::TFillWindow>(*form.Fill());
      fillWindow_->setWindowModality(Qt::ApplicationModal);
      fillWindow_->show();
    }
    // A logout or a shutdown asks a session's programs to save and go.
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, qApp, [&form] {
      form.Program().KeepModesAtEnd = true;
      form.Program().ShutdownRequested = true;
    });
  }
  void Finished() override { fillWindow_.reset(); }

 private:
  bool fill_;
  vorta::TMessageBoxSink messages_;
  vorta::TQtWindowFactory windows_;
  vorta::TMainWindow window_;
  std::unique_ptr<vorta::TFillWindow> fillWindow_;
};

// The main form on the real clock, until its shutdown.
int RunForm(QCoreApplication& app, const TOptions& options, const QString& folder,
            vorta::TFolderClaim claim, const QString& firstStartNote, TFrontEnd& front) {
  vorta::TRealTimerService time;
  // Before the CAN configuration opens the adapter: the virtual bus must be there.
  vorta::TPlantHost plant(folder, time);
  vorta::IMessageSink& messages = front.Messages();
  // What the board library has to tell (a wrong SocketCAN bit rate) reaches
  // the operator like every other message, while the sink exists.
  const TChaiNotices chaiNotices(messages);
  vorta::TAdapterFactory factory;
  vorta::RegisterStandardAdapters(factory);
  vorta::TCANService canService(time, factory,
                                [&messages](const QString& text) { messages.ShowInfo(text); });

  vorta::TMainForm form({time, messages, front.Windows(), front.Window(), canService}, folder);
  form.Adopt(std::move(claim));
  form.OnTerminate = [] { QCoreApplication::exit(0); };
  form.StartNote = firstStartNote;
  switch (form.Start()) {
    case vorta::TMainForm::TStartResult::NoMainConfig:
      std::fprintf(stderr, "vorta: %s not found; nothing to supervise\n",
                   QDir(folder).filePath(QStringLiteral("Vorta.ini")).toLocal8Bit().constData());
      return 1;
    case vorta::TMainForm::TStartResult::SecondInstance:
      std::fprintf(stderr, "vorta: already running on %s; asked it to come to the front\n",
                   QDir(folder).absolutePath().toLocal8Bit().constData());
      return 0;
    case vorta::TMainForm::TStartResult::FolderInUse:
      std::fprintf(stderr, "vorta: %s\n", form.StartProblem().toLocal8Bit().constData());
      return vorta::kExitFolderInUse;
    case vorta::TMainForm::TStartResult::Refused:
      std::fprintf(stderr, "vorta: %s\n", form.StartProblem().toLocal8Bit().constData());
      return vorta::kExitRefused;
    case vorta::TMainForm::TStartResult::Running:
      break;
  }
  front.Started(form);
  if (options.Demo) vorta::StartDemoVessels(form.Processes());
  vorta::TPlanWindow::Host = form.Plans();
  // Off unless Vorta.ini has an [MQTT] Host; its own thread talks to the broker.
  const std::unique_ptr<vorta::TMqttTelemetry> mqtt = vorta::TMqttTelemetry::Start(form.Env());
  if (mqtt) {
    mqtt->Plans = form.Plans();
    mqtt->PlanOf = [&form](const vorta::TVortaProcess& p) {
      vorta::TPlanHost* plans = form.Plans();
      const vorta::TPlanRunner* r = plans != nullptr ? plans->Runner(p) : nullptr;
      return r == nullptr ? QJsonObject()
                          : vorta::PlanStatusJson(*r, r->Status(plans->MonotonicMs()));
    };
  }

  // SIGINT/SIGTERM: the next 40-ms tick runs the shutdown, as closing a panel
  // does. A signal that came while loading is still in the pipe.
  if (gSignalPipe[0] >= 0) {
    auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&form] {
      char c = 0;
      [[maybe_unused]] const auto n = ::read(gSignalPipe[0], &c, 1);
      // Not the operator's end: the vessels keep their modes.
      form.Program().KeepModesAtEnd = true;
      form.Program().ShutdownRequested = true;
    });
  } else if (gStopRequested != 0) {
    form.Program().KeepModesAtEnd = true;
    form.Program().ShutdownRequested = true;
  }
  front.Running(form, time);

  std::unique_ptr<vorta::TStallWatch> stallWatch;
  if (options.StallReport) stallWatch = std::make_unique<vorta::TStallWatch>();

  const int code = QCoreApplication::exec();
  if (stallWatch) {
    std::fprintf(stderr, "vorta: longest main-thread stall %lld ms\n",
                 static_cast<long long>(stallWatch->LongestStallMs()));
  }
  form.Finish();
  front.Finished();
  return code;
}

int RunHeadless(QCoreApplication& app, const TOptions& options, const QString& folder,
                vorta::TFolderClaim claim, const QString& firstStartNote) {
  THeadlessFront front;
  return RunForm(app, options, folder, std::move(claim), firstStartNote, front);
}

int RunWithWindows(QCoreApplication& app, const TOptions& options, const QString& folder,
                   vorta::TFolderClaim claim, const QString& firstStartNote) {
  TWindowsFront front(options.Fill);
  return RunForm(app, options, folder, std::move(claim), firstStartNote, front);
}

// Virtual time with the virtual plant, then an orderly end.
int RunFastForwardHours(const TOptions& options, const QString& folder, vorta::TFolderClaim claim) {
  return vorta::RunFastForward(
      folder, *options.FastForwardHours, options.Demo, [] { return gStopRequested != 0; },
      std::move(claim), options.Plans);
}

// The folder is ready: claims it if that is still to do and runs it.
int RunPrepared(QCoreApplication& app, const TOptions& options, const QString& folder,
                vorta::TFolderClaim claim, const QString& firstStartNote) {
  if (!claim.Lock) {
    claim = vorta::ClaimFolder(folder);
    if (claim.Result != vorta::TFolderClaim::TResult::Claimed) {
      return vorta::ReportUnclaimed(claim, folder, options.FastForwardHours ? 1 : 0);
    }
  }
  if (options.FastForwardHours) return RunFastForwardHours(options, folder, std::move(claim));
  if (options.Headless) {
    return RunHeadless(app, options, folder, std::move(claim), firstStartNote);
  }
  return RunWithWindows(app, options, folder, std::move(claim), firstStartNote);
}

int RunDemo(QCoreApplication& app, const TOptions& options, const QString& folder,
            vorta::TFolderClaim claim) {
  QString error;
  if (!vorta::PrepareDemoFolder(folder, &error)) {
    std::fprintf(stderr, "vorta: cannot prepare the demo folder: %s\n",
                 error.toLocal8Bit().constData());
    return 1;
  }
  if (options.Prepare) {
    Print(QStringLiteral("demo folder prepared: ") + QDir(folder).absolutePath());
    return 0;
  }
  return RunPrepared(app, options, folder, std::move(claim), QString());
}

// Claims the folder (when it is there), speaks its language, then runs it.
int RunFolder(QCoreApplication& app, const TOptions& options, const QString& folder,
              const QString& exeFolder) {
  // A folder that holds its Vorta.ini is taken before anything in it is read
  // (its language included); one still to be prepared, once it is.
  vorta::TFolderClaim claim;
  if (!options.Prepare && QFileInfo::exists(QDir(folder).filePath(QStringLiteral("Vorta.ini")))) {
    claim = vorta::ClaimFolder(folder);
    if (claim.Result != vorta::TFolderClaim::TResult::Claimed) {
      vorta::InstallProgramTexts(
          app, vorta::ChooseLanguage(options.Language, QString(), QLocale::system()));
      return vorta::ReportUnclaimed(claim, folder, options.FastForwardHours ? 1 : 0);
    }
  }
  // Once the folder is known and before anything is said, shown or run.
  {
    QString refused;
    const vorta::TLanguage language = vorta::ChooseLanguage(
        options.Language,
        vorta::ConfiguredLanguage(
            vorta::TProfileFile(QDir(folder).filePath(QStringLiteral("Vorta.ini")))),
        QLocale::system(), &refused);
    vorta::InstallProgramTexts(app, language);
    // Qt's own dialogs and buttons speak English unless told otherwise.
    if (!options.Headless && language == vorta::TLanguage::Russian) {
      vorta::InstallRussianQtTexts(app);
    }
    if (!refused.isEmpty()) {
      PrintError(QStringLiteral("vorta: [Program] Language=%1 in Vorta.ini is not ru, en or auto")
                     .arg(refused));
    }
  }
  if (options.Demo) return RunDemo(app, options, folder, std::move(claim));

  // Started from the menu: the user's folder, with the demo in it on the first start.
  QString firstStartNote;  // said again in a window: a menu start shows no output
  if (!options.Folder && vorta::IsInstalledExecutableFolder(exeFolder)) {
    QString note;
    QString error;
    if (!vorta::PrepareUserProgramFolder(folder, &note, &error, &firstStartNote)) {
      std::fprintf(stderr, "vorta: cannot prepare the program folder: %s\n",
                   error.toLocal8Bit().constData());
      return 1;
    }
    Print(note);
  }
  return RunPrepared(app, options, folder, std::move(claim), firstStartNote);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "ctl") == 0) return vorta::RunControlClient(argc, argv);
  const bool headless = WantsHeadless(argc, argv);
  std::unique_ptr<QCoreApplication> app;
  if (TriesPlans(argc, argv)) {
    // The plan report draws its picture with the chart library, which wants
    // a widget application; it never opens a window.
    if (!HasDisplay()) qputenv("QT_QPA_PLATFORM", "offscreen");
    app = std::make_unique<QApplication>(argc, argv);
  } else if (headless) {
    app = std::make_unique<QCoreApplication>(argc, argv);
  } else {
    app = std::make_unique<QApplication>(argc, argv);
  }
  InstallSignalHandling();
  QCoreApplication::setApplicationName(QStringLiteral("vorta"));
  QCoreApplication::setApplicationVersion(QStringLiteral(VORTA_VERSION));

  const std::variant<TOptions, TRefusal> parsed = ParseOptions(*app, headless);
  if (const auto* refusal = std::get_if<TRefusal>(&parsed)) {
    PrintError(refusal->Text);
    return refusal->ExitCode;
  }
  const TOptions& options = std::get<TOptions>(parsed);
  const QString exeFolder = QCoreApplication::applicationDirPath();
  const QString folder = options.Folder ? *options.Folder
                                        : vorta::DefaultProgramFolder(
                                              exeFolder, QProcessEnvironment::systemEnvironment());
  if (options.VerifyJournal) return RunVerify(options, folder);
  // Without --folder the demo gets a folder of its own inside the program folder.
  const QString runFolder =
      options.Demo && !options.Folder ? QDir(folder).filePath(QStringLiteral("demo")) : folder;
  return RunFolder(*app, options, runFolder, exeFolder);
}
