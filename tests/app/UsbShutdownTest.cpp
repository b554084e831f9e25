// The program ended while the converter floods it with frames: the receive
// thread is usually waiting in a hand-over when the event loop stops, and the
// frame it offers must not reach devices that are being freed.

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <atomic>
#include <csignal>
#include <thread>

#include "ProgramFolder.h"
#include "PseudoTerminal.h"
#include "app/DemoFolder.h"
#include "can/UsbPacket.h"
#include "platform/ProfileFile.h"

namespace vorta {
namespace {

// Spontaneous frames from the first vessel's I/O module, as fast as the line
// takes them, while whatever the program writes is read away.
void Flood(const test::TPseudoTerminal& line, const std::atomic<bool>& stop) {
  std::vector<std::uint8_t> burst;
  for (std::uint8_t i = 0; i < 8; ++i) {
    TCANFrame f;
    f.Id = 0x1000 + 32 + i;
    f.Flags = kFlagExtended;
    f.Len = 2;
    f.Data[0] = i;
    const TUsbPacket p = BuildPacket(ReceivedFramePayload(f));
    burst.insert(burst.end(), p.begin(), p.end());
  }
  // A burst the line takes only in part is resynchronised by the reader.
  while (!stop) {
    line.WriteSome(burst);
    (void)line.Read(4096, 1);
  }
}

TEST(UsbShutdown, sigtermDuringFrameFlood_exitsCleanly) {
  test::TPseudoTerminal line;
  ASSERT_TRUE(line.Valid());
  test::TProgramFolder folder;
  test::TProgramFolder runtime;
  QString error;
  ASSERT_TRUE(PrepareDemoFolder(folder.Path(), &error)) << error.toStdString();
  TProfileFile can(folder.File("VortaCAN.ini"));
  can.WriteString(QStringLiteral("CANAdapter"), QStringLiteral("Type"), QStringLiteral("QTR4"));
  can.WriteString(QStringLiteral("CANAdapter"), QStringLiteral("Port"),
                  QString::fromStdString(line.Path()));
  ASSERT_TRUE(can.UpdateFile());

  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("XDG_RUNTIME_DIR", runtime.Path());
  env.remove("DISPLAY");
  env.remove("WAYLAND_DISPLAY");
  std::atomic<bool> stop{false};
  std::thread peer(Flood, std::cref(line), std::cref(stop));
  // Several runs: the frame in the hand-over at the moment of the end is a
  // matter of timing.
  for (int run = 0; run < 3; ++run) {
    SCOPED_TRACE(run);
    QProcess vorta;
    vorta.setProcessEnvironment(env);
    vorta.start(VORTA_BIN, {"--headless", "--folder", folder.Path()});
    ASSERT_TRUE(vorta.waitForStarted(5000));
    ASSERT_FALSE(vorta.waitForFinished(1500)) << vorta.readAllStandardError().toStdString();
    ::kill(static_cast<pid_t>(vorta.processId()), SIGTERM);
    ASSERT_TRUE(vorta.waitForFinished(15000));
    EXPECT_EQ(vorta.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(vorta.exitCode(), 0) << vorta.readAllStandardError().toStdString();
  }
  stop = true;
  peer.join();
}

}  // namespace
}  // namespace vorta
