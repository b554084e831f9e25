// Arbitrary commands from the browser: a topic, a response topic and a
// payload (the input's parts, split at its first two newlines) through the
// checks made on the publisher's thread, and what they admit through the
// command layer against one vessel and its alarms, answered as JSON.

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "journal/Alarms.h"
#include "platform/Messages.h"
#include "platform/VirtualTimerService.h"
#include "process/PanelView.h"
#include "process/ProcessRecord.h"
#include "process/ProgramState.h"
#include "telemetry/MqttCommands.h"

namespace {

using namespace vorta;

// A vessel that regulates pH and temperature, without a module.
constexpr char kProcessFile[] =
    "[Port]\nNameProcess=F1\nNumProcess=1\nProtocolname=Protocol1.txt\n"
    "[Channels]\nch1=1 Acid\nch2=1 Alkali\n[AssignName]\n1=pH\n2=tC\n"
    "[pH]\nS=7.00\nL=0.00\nMin=2.00\nMax=12.00\nV1=4.00\nV2=9.00\nA1=1000\nA2=2000\n"
    "[CtrlpH]\nP=1\nU=1\nD=2\nE=1\nLo=-100.00\nHi=100.00\nDZ=0.01\nGU=1.00\nGD=1.00\nM=0,1,1,1\n"
    "[tC]\nS=37.00\nL=0.00\nMin=0.00\nMax=100.00\nV1=0.00\nV2=10.00\nA1=1000\nA2=2000\n"
    "[Terminate]\nsucsesful=N\n";

// The process file is written back after every change: in memory where
// there is room, or the target would mostly wait for the disk.
QString ScratchTemplate() {
  const QFileInfo shm(QStringLiteral("/dev/shm"));
  if (shm.isDir() && shm.isWritable()) return QStringLiteral("/dev/shm/vorta-fuzz-XXXXXX");
  return {};
}

// One program around the vessel, made once.
struct TRig {
  TRig() {
    program.ProgramFolder = dir.path() + u'/';
    QFile f(dir.filePath(QStringLiteral("proc1.ini")));
    if (f.open(QIODevice::WriteOnly)) f.write(kProcessFile);
    f.close();
    list.Add(std::make_unique<TVortaProcess>(env, QStringLiteral("proc1.ini")));
    env.Alarms = &alarms;
    alarms.Raise(1, QStringLiteral("F1"), TAlarmKind::DoseNoEffect, QStringLiteral("pH"),
                 QStringLiteral("test"), QString());
  }
  QTemporaryDir dir{ScratchTemplate()};
  TVirtualTimerService time;
  TJournal* journal = nullptr;
  TStderrMessageSink messages;
  THeadlessWindowFactory windows;
  TProgramState program;
  TVortaProcessList list;
  TVortaEnv env{program, time, messages, windows, nullptr, &list};
  TAlarms alarms{time, journal};
};

QByteArray Part(const std::uint8_t*& data, std::size_t& size) {
  std::size_t n = 0;
  while (n < size && data[n] != '\n') ++n;
  QByteArray part(reinterpret_cast<const char*>(data), static_cast<qsizetype>(n));
  const std::size_t used = n < size ? n + 1 : n;
  data += used;
  size -= used;
  return part;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static TRig rig;
  if (size == 0) return 0;
  TMqttCommand c;
  c.Retained = (data[0] & 1) != 0;
  ++data;
  --size;
  c.Topic = QString::fromUtf8(Part(data, size));
  c.ResponseTopic = QString::fromUtf8(Part(data, size));
  c.Payload = QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  c.Correlation = "c";
  c.ReceivedUtcMs = 1'800'000'000'000;
  const TMqttGateResult r =
      CheckMqttCommand(c, QStringLiteral("vorta/pc1"), {QStringLiteral("anna")}, {1});
  if (r.Refusal != TMqttRefusal::None) return 0;
  const TCommandResult done = RunMqttCommand(rig.env, nullptr, rig.dir.path(), r);
  (void)MqttAnswerJson(done).size();
  return 0;
}
