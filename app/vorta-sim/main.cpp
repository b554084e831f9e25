// vorta-sim: the virtual plant of a program folder behind a pseudo-terminal,
// speaking the USB-CAN converter's packets. The first line of its output is
// the pseudo-terminal's path; after an unplug the new path follows on a line
// of its own. Messages go to stderr.

#include <fcntl.h>
#include <sysexits.h>
#include <unistd.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <optional>

#include "app/vorta-sim/SimConverter.h"
#include "app/vorta-sim/SimLine.h"
#include "platform/RealTimerService.h"
#include "sim/PlantConfig.h"
#include "sim/VirtualPlant.h"

namespace {

using namespace vorta;
using namespace vorta::sim;

int gSignalPipe[2] = {-1, -1};

void OnSignal(int sig) {
  const char c = static_cast<char>(sig);
  [[maybe_unused]] const auto n = ::write(gSignalPipe[1], &c, 1);
}

void PrintPath(const QString& path) {
  std::fprintf(stdout, "%s\n", path.toLocal8Bit().constData());
  std::fflush(stdout);
}

void Note(const QString& text) {
  std::fprintf(stderr, "vorta-sim: %s\n", text.toLocal8Bit().constData());
}

struct TEpisode {
  double AtSeconds = 0;
  double ForSeconds = 0;
};

// "AT" or "AT:FOR" in seconds.
std::optional<TEpisode> ParseEpisode(const QString& text, double defaultFor) {
  const QStringList parts = text.split(u':');
  bool ok1 = false;
  bool ok2 = true;
  TEpisode e;
  e.AtSeconds = parts.value(0).toDouble(&ok1);
  e.ForSeconds = parts.size() > 1 ? parts[1].toDouble(&ok2) : defaultFor;
  if (!ok1 || !ok2 || parts.size() > 2 || e.AtSeconds < 0 || e.ForSeconds < 0) return std::nullopt;
  return e;
}

// "Every N-th packet": a whole number from 1 up; 0 when the option is not given.
std::optional<int> Every(const QCommandLineParser& parser, const QCommandLineOption& option) {
  if (!parser.isSet(option)) return 0;
  bool ok = false;
  const int n = parser.value(option).toInt(&ok);
  if (!ok || n < 1) return std::nullopt;
  return n;
}

int UsageError(const QString& text) {
  Note(text + QStringLiteral("\nTry 'vorta-sim --help'."));
  return EX_USAGE;
}

int Ms(double seconds) {
  return static_cast<int>(seconds * 1000.0);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("vorta-sim"));
  QCoreApplication::setApplicationVersion(QStringLiteral(VORTA_VERSION));

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral(
      "The virtual plant of a program folder behind a pseudo-terminal that speaks the USB-CAN "
      "converter's packets. Prints the pseudo-terminal's path as its first line.\n"
      "SIGUSR1 unplugs the line now (back after the --down time, default 3 s); "
      "SIGUSR2 pauses it (for the --pause time, default 3 s)."));
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption ptyOption(QStringLiteral("pty"),
                                     QStringLiteral("Serve on a new pseudo-terminal."));
  const QCommandLineOption folderOption(QStringLiteral("folder"),
                                        QStringLiteral("Program folder (VortaCAN.ini, Vorta.ini)."),
                                        QStringLiteral("DIR"));
  const QCommandLineOption linkOption(
      QStringLiteral("link"),
      QStringLiteral("Keep a symbolic link at PATH to the current pseudo-terminal."),
      QStringLiteral("PATH"));
  const QCommandLineOption garbageOption(QStringLiteral("garbage"),
                                         QStringLiteral("Random bytes before every N-th packet."),
                                         QStringLiteral("N"));
  const QCommandLineOption badCrcOption(QStringLiteral("bad-crc"),
                                        QStringLiteral("A wrong CRC in every N-th packet."),
                                        QStringLiteral("N"));
  const QCommandLineOption splitOption(
      QStringLiteral("split"), QStringLiteral("Every N-th packet in two writes 5 ms apart."),
      QStringLiteral("N"));
  const QCommandLineOption pauseOption(
      QStringLiteral("pause"), QStringLiteral("Line silent from AT s for FOR s (default 3)."),
      QStringLiteral("AT[:FOR]"));
  const QCommandLineOption unplugOption(
      QStringLiteral("unplug"),
      QStringLiteral("Line closed at AT s, a new one after DOWN s (default 3; 0 = never)."),
      QStringLiteral("AT[:DOWN]"));
  const QCommandLineOption downOption(
      QStringLiteral("down"),
      QStringLiteral("Seconds an unplugged line stays down, for --unplug and SIGUSR1 "
                     "(default 3; 0 = for good)."),
      QStringLiteral("SECONDS"));
  const QCommandLineOption seedOption(QStringLiteral("seed"),
                                      QStringLiteral("Seed of the plant noise and the faults."),
                                      QStringLiteral("N"), QStringLiteral("20240601"));
  const QCommandLineOption traceOption(QStringLiteral("trace"),
                                       QStringLiteral("Every frame both ways on stderr."));
  parser.addOptions({ptyOption, folderOption, linkOption, garbageOption, badCrcOption, splitOption,
                     pauseOption, unplugOption, downOption, seedOption, traceOption});
  // process() would end a bad command line with 1; it only serves --help and --version here.
  if (!parser.parse(QCoreApplication::arguments())) return UsageError(parser.errorText());
  parser.process(app);
  if (!parser.positionalArguments().isEmpty()) {
    return UsageError(
        QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().constFirst()));
  }
  if (!parser.isSet(ptyOption) || !parser.isSet(folderOption)) {
    return UsageError(QStringLiteral("--pty and --folder DIR are required"));
  }
  const QString folder = QDir(parser.value(folderOption)).absolutePath();
  std::optional<TEpisode> pause{TEpisode{-1, 3}};
  std::optional<TEpisode> unplug{TEpisode{-1, 3}};
  if (parser.isSet(pauseOption)) pause = ParseEpisode(parser.value(pauseOption), 3);
  if (parser.isSet(unplugOption)) unplug = ParseEpisode(parser.value(unplugOption), 3);
  if (parser.isSet(downOption) && unplug) {
    bool ok = false;
    unplug->ForSeconds = parser.value(downOption).toDouble(&ok);
    if (!ok || unplug->ForSeconds < 0) unplug.reset();
  }
  if (!pause || !unplug) {
    std::fprintf(stderr, "vorta-sim: --pause and --unplug take AT[:SECONDS], --down SECONDS\n");
    return 2;
  }

  bool seedOk = false;
  const auto seed = static_cast<std::uint32_t>(parser.value(seedOption).toUInt(&seedOk));
  const std::optional<int> garbage = Every(parser, garbageOption);
  const std::optional<int> badCrc = Every(parser, badCrcOption);
  const std::optional<int> split = Every(parser, splitOption);
  if (!seedOk || !garbage || !badCrc || !split) {
    std::fprintf(stderr,
                 "vorta-sim: --garbage, --bad-crc and --split take a whole number N >= 1, "
                 "--seed one from 0 to 4294967295\n");
    return 2;
  }
  const TLineFaults faults{*garbage, *badCrc, *split};
  TSimConverter converter(faults, seed);
  TSimLine line(parser.value(linkOption));
  TRealTimerService time;
  TVirtualPlant plant(LoadPlantConfig(folder), seed);

  const bool trace = parser.isSet(traceOption);
  plant.OnFrame = [&](const TCANFrame& frame) {
    if (!line.Plugged() || line.Paused()) return;
    if (trace) Note(QStringLiteral("out ") + FrameText(frame));
    const std::vector<QByteArray> chunks = converter.ToLine(frame);
    for (std::size_t i = 0; i < chunks.size(); ++i) line.Write(chunks[i], i + 1 < chunks.size());
  };
  line.OnBytes = [&](const std::uint8_t* data, std::size_t size) {
    const int before = converter.Parameter();
    converter.FromLine(data, size, [&](const TCANFrame& frame) {
      if (trace) Note(QStringLiteral("in  ") + FrameText(frame));
      plant.HandleFrame(frame);
    });
    if (converter.Parameter() != before) {
      Note(QStringLiteral("parameter set to %1").arg(converter.Parameter()));
    }
  };

  if (!line.Plug()) {
    std::fprintf(stderr, "vorta-sim: no pseudo-terminal available\n");
    return 1;
  }
  PrintPath(line.Path());
  Note(QStringLiteral("%1 devices, %2 vessels from %3")
           .arg(plant.DeviceCount())
           .arg(plant.VesselCount())
           .arg(folder));
  plant.Attach(time);

  auto doUnplug = [&] {
    if (!line.Plugged()) return;
    line.Unplug();
    converter.Reset();
    Note(QStringLiteral("line unplugged"));
    if (unplug->ForSeconds <= 0) return;
    QTimer::singleShot(Ms(unplug->ForSeconds), &app, [&] {
      if (line.Plugged()) return;
      if (!line.Plug()) {
        Note(QStringLiteral("no pseudo-terminal for the replug"));
        return;
      }
      PrintPath(line.Path());
      Note(QStringLiteral("line plugged in again"));
    });
  };
  auto doPause = [&] {
    if (line.Paused()) return;
    line.SetPaused(true);
    Note(QStringLiteral("line paused"));
    QTimer::singleShot(Ms(pause->ForSeconds), &app, [&] {
      line.SetPaused(false);
      Note(QStringLiteral("line resumed"));
    });
  };
  if (pause->AtSeconds >= 0) QTimer::singleShot(Ms(pause->AtSeconds), &app, doPause);
  if (unplug->AtSeconds >= 0) QTimer::singleShot(Ms(unplug->AtSeconds), &app, doUnplug);

  // Signals: SIGUSR1 unplug, SIGUSR2 pause, SIGINT/SIGTERM quit (the link goes).
  if (::pipe2(gSignalPipe, O_CLOEXEC) != 0) return 1;
  QSocketNotifier signals(gSignalPipe[0], QSocketNotifier::Read);
  QObject::connect(&signals, &QSocketNotifier::activated, &app, [&] {
    char sig = 0;
    if (::read(gSignalPipe[0], &sig, 1) != 1) return;
    if (sig == SIGUSR1) {
      doUnplug();
    } else if (sig == SIGUSR2) {
      doPause();
    } else {
      QCoreApplication::quit();
    }
  });
  for (const int sig : {SIGUSR1, SIGUSR2, SIGINT, SIGTERM, SIGHUP}) std::signal(sig, OnSignal);

  const int code = QCoreApplication::exec();
  plant.Detach();
  line.Unplug();
  if (parser.isSet(linkOption)) QFile::remove(parser.value(linkOption));
  Note(QStringLiteral("%1 frames from the controller, %2 to it")
           .arg(converter.FramesIn())
           .arg(converter.FramesOut()));
  return code;
}
