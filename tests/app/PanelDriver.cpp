// The controller with its real panels on a prepared demo folder, on the real
// clock and publishing to the broker its Vorta.ini names, as the program runs
// it with windows (offscreen here). What the operator does at a panel comes
// on standard input, one line each:
//   setpoint VESSEL CHANNEL TEXT   opens the panel's "Уставки" dialog, types
//                                  TEXT into the channel's field and presses OK
// and each line is answered on standard output: "done VALUE" with the
// setpoint the vessel then has, or "failed WHY". End of input: an orderly end.

#include <unistd.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTest>
#include <cstdio>
#include <string>

#include "app/DemoFolder.h"
#include "app/MainForm.h"
#include "app/PlantHost.h"
#include "can/AdapterFactory.h"
#include "devices/CANService.h"
#include "platform/Messages.h"
#include "platform/RealTimerService.h"
#include "process/ProcessRecord.h"
#include "telemetry/MqttTelemetry.h"
#include "windows/common/WindowSlot.h"
#include "windows/dialogs/SetpointsDialog.h"
#include "windows/panel/QtWindowFactory.h"
#include "windows/panel/VortaForm.h"

namespace {

void Say(const QString& line) {
  std::fputs((line + u'\n').toUtf8().constData(), stdout);
  std::fflush(stdout);
}

QString TypeSetpoint(vorta::TMainForm& form, int vessel, int channel, const QString& text) {
  vorta::TVortaProcess* p = nullptr;
  for (const auto& q : form.Processes()) {
    if (q->Config.NumProcess == vessel) p = q.get();
  }
  if (p == nullptr) return QStringLiteral("failed no vessel");
  auto* panel = dynamic_cast<vorta::TVortaForm*>(p->Panel.get());
  if (panel == nullptr || channel < 1 || channel > 4) return QStringLiteral("failed no panel");
  QAction* item = panel->MenuItem({QStringLiteral("Уставки")});
  if (item == nullptr) return QStringLiteral("failed no menu item");
  item->trigger();
  auto* dialog = panel->Windows().Setpoints.Window<vorta::TSetpointsDialog>();
  if (dialog == nullptr || !dialog->isVisible()) return QStringLiteral("failed no dialog");
  QLineEdit* edit = dialog->Edit(channel);
  edit->setFocus();
  edit->selectAll();
  QTest::keyClicks(edit, text);
  QTest::mouseClick(dialog->OkButton(), Qt::LeftButton);
  if (dialog->isVisible()) return QStringLiteral("failed the dialog stayed open");
  return QStringLiteral("done %1").arg(p->Channel[channel].Config.Setpoint, 0, 'f', 2);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: panel_driver FOLDER (a prepared demo folder)\n");
    return 64;
  }
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  const QString folder = QString::fromLocal8Bit(argv[1]);

  vorta::TRealTimerService time;
  vorta::TPlantHost plant(folder, time);
  vorta::TStderrMessageSink messages;
  vorta::TAdapterFactory factory;
  vorta::RegisterStandardAdapters(factory);
  vorta::TCANService can(time, factory,
                         [&messages](const QString& text) { messages.ShowInfo(text); });
  vorta::TQtWindowFactory windows;
  vorta::THeadlessMainWindow window;
  vorta::TMainForm form({time, messages, windows, window, can}, folder);
  form.OnTerminate = [] { QCoreApplication::exit(0); };
  if (form.Start() != vorta::TMainForm::TStartResult::Running) {
    std::fprintf(stderr, "panel_driver: %s\n", form.StartProblem().toLocal8Bit().constData());
    return 1;
  }
  vorta::StartDemoVessels(form.Processes());
  const std::unique_ptr<vorta::TMqttTelemetry> mqtt = vorta::TMqttTelemetry::Start(form.Env());
  if (mqtt) mqtt->Plans = form.Plans();

  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  std::string pending;
  QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
    char buffer[512];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n <= 0) {
      input.setEnabled(false);
      form.Program().ShutdownRequested = true;
      return;
    }
    pending.append(buffer, static_cast<size_t>(n));
    for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
      const QStringList words =
          QString::fromUtf8(pending.substr(0, end)).split(u' ', Qt::SkipEmptyParts);
      pending.erase(0, end + 1);
      if (words.size() == 4 && words[0] == QLatin1String("setpoint")) {
        Say(TypeSetpoint(form, words[1].toInt(), words[2].toInt(), words[3]));
      } else {
        Say(QStringLiteral("failed unknown line"));
      }
    }
  });
  Say(QStringLiteral("ready"));
  const int code = QCoreApplication::exec();
  form.Finish();
  return code;
}
