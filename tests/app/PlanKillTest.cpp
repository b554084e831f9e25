// A plan started with "vorta ctl" on the headless program, which is killed
// in the middle of each kind of step (ramp, wait, condition, repeat): every
// restart resumes the plan at the step it was in, with the time since the
// step began (the down time included) counted, the ramp's setpoint where the
// clock says, and a journal that still verifies.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

#include <csignal>
#include <optional>

#include "ProgramFolder.h"
#include "ProgramProcess.h"

namespace {

constexpr const char* kPlan = R"(name: kill
steps:
  - name: ramp
    ramp: {channel: pH, to: 6.0, over: 40 s}
  - name: hold
    wait: 40 s
  - name: cond
    wait_until: {condition: "pH < 0.5", limit: 40 s}
  - repeat:
      times: 3
      steps:
        - name: round
          wait: 40 s
        - note: round done
  - note: end
)";

class PlanKillTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env = vorta::test::HeadlessProgramEnvironment(runtime.Path());
    demo = folder.File("demo");
  }
  void TearDown() override { Kill(); }

  // Runs the binary from `folder` (relative plan names are read from there).
  int Run(const QStringList& args, QString* out = nullptr) {
    return vorta::test::RunProgram(env, args, out, folder.Path());
  }

  QJsonObject Ctl(const QStringList& words, int* exit = nullptr) {
    QString out;
    const int code = Run(QStringList{"ctl", "--folder", demo, "--json"} + words, &out);
    if (exit != nullptr) *exit = code;
    return QJsonDocument::fromJson(out.toUtf8()).object();
  }

  void Launch() {
    vorta = std::make_unique<QProcess>();
    vorta->setProcessEnvironment(env);
    vorta->setStandardOutputFile(QProcess::nullDevice());
    vorta->setStandardErrorFile(QProcess::nullDevice());
    vorta->start(VORTA_BIN, {"--headless", "--folder", demo});
    ASSERT_TRUE(vorta->waitForStarted(5000));
    for (int attempt = 0; attempt < 200; ++attempt) {
      int exit = -1;
      Ctl({"version"}, &exit);
      if (exit == 0) return;
      QThread::msleep(50);
    }
    FAIL() << "the program does not answer";
  }

  void Kill() {
    if (!vorta) return;
    ::kill(static_cast<pid_t>(vorta->processId()), SIGKILL);
    vorta->waitForFinished(10000);
    vorta.reset();
  }

  // Killed, down for `downMs`, started again; the journal verifies between.
  void KillAndRestart(int downMs) {
    Kill();
    QString report;
    const int verified = Run({"--folder", demo, "--verify-journal"}, &report);
    // 3: only the last record was cut by the kill.
    EXPECT_TRUE(verified == 0 || verified == 3) << verified << ' ' << report.toStdString();
    QThread::msleep(static_cast<unsigned long>(downMs));
    Launch();
  }

  QJsonObject PlanStatus() { return Ctl({"plan", "status", "1"})["result"].toObject(); }

  double PhSetpoint() {
    const QJsonObject status = Ctl({"status"})["result"].toObject();
    for (const QJsonValue v : status["vessels"].toArray()) {
      if (v["vessel"].toInt() == 1) return v["channels"][0]["setpoint"].toDouble();
    }
    return -1;
  }

  vorta::test::TProgramFolder folder;
  vorta::test::TProgramFolder runtime;
  QProcessEnvironment env;
  QString demo;
  std::unique_ptr<QProcess> vorta;
};

}  // namespace

TEST_F(PlanKillTest, resumesEachKindOfStepAfterAKill) {
  ASSERT_EQ(Run({"--demo", "--folder", demo, "--prepare"}), 0);
  folder.Write("kill.yaml", kPlan);
  folder.Write("bad.yaml", "steps:\n  - wait: 1 min\n  - setpoint: {channel: pH, value: 99}\n");
  Launch();

  // A plan with a fault is refused with its place, and nothing starts.
  int exit = 0;
  const QJsonObject refused = Ctl({"plan", "start", "1", "bad.yaml"}, &exit);
  EXPECT_NE(exit, 0);
  EXPECT_TRUE(refused["error"].toString().contains("bad.yaml:3:"))
      << refused["error"].toString().toStdString();
  Ctl({"plan", "status", "1"}, &exit);
  EXPECT_NE(exit, 0);

  const double from = PhSetpoint();
  ASSERT_GT(from, 6.5);
  Ctl({"plan", "start", "1", "kill.yaml"}, &exit);  // relative to the caller's directory
  ASSERT_EQ(exit, 0);
  QElapsedTimer clock;
  clock.start();

  // The ramp: the setpoint where the clock says once the program is back.
  QThread::msleep(3000);
  KillAndRestart(2000);
  QJsonObject st = PlanStatus();
  EXPECT_EQ(st["step"].toInt(), 1);
  EXPECT_EQ(st["state"].toString(), "running");
  const double ageS = 40 - st["remainingSeconds"].toDouble();
  EXPECT_NEAR(ageS * 1000, static_cast<double>(clock.elapsed()), 3000);
  EXPECT_NEAR(PhSetpoint(), from + (6.0 - from) * ageS / 40, 0.06);

  // The wait, with a longer time down: it counts.
  ASSERT_EQ(Ctl({"plan", "skip", "1"})["result"].toObject()["step"].toInt(), 2);
  clock.restart();
  QThread::msleep(1000);
  KillAndRestart(4000);
  st = PlanStatus();
  EXPECT_EQ(st["step"].toInt(), 2);
  EXPECT_NEAR((40 - st["remainingSeconds"].toDouble()) * 1000, static_cast<double>(clock.elapsed()),
              3000);

  // The condition's limit runs on across the restart.
  ASSERT_EQ(Ctl({"plan", "skip", "1"})["result"].toObject()["step"].toInt(), 3);
  clock.restart();
  KillAndRestart(2000);
  st = PlanStatus();
  EXPECT_EQ(st["step"].toInt(), 3);
  EXPECT_NEAR((40 - st["remainingSeconds"].toDouble()) * 1000, static_cast<double>(clock.elapsed()),
              3000);

  // The repeat: its second round, paused, stays its second round and paused.
  ASSERT_EQ(Ctl({"plan", "skip", "1"})["result"].toObject()["step"].toInt(), 4);
  Ctl({"plan", "skip", "1"});  // the round's note runs; the next round begins at the next cycle
  for (int attempt = 0; attempt < 50 && PlanStatus()["iteration"].toInt() != 2; ++attempt) {
    QThread::msleep(200);
  }
  ASSERT_EQ(PlanStatus()["iteration"].toInt(), 2);
  Ctl({"plan", "pause", "1"}, &exit);
  ASSERT_EQ(exit, 0);
  const double pausedAge = 40 - PlanStatus()["remainingSeconds"].toDouble();
  KillAndRestart(3000);
  st = PlanStatus();
  EXPECT_EQ(st["step"].toInt(), 4);
  EXPECT_EQ(st["iteration"].toInt(), 2);
  EXPECT_EQ(st["state"].toString(), "paused");
  EXPECT_NEAR(40 - st["remainingSeconds"].toDouble(), pausedAge,
              1.0);  // a pause's time does not count

  QString journal;
  ASSERT_EQ(Run({"ctl", "--folder", demo, "journal", "-n", "200"}, &journal), 0);
  EXPECT_EQ(journal.count("план продолжен после перерыва"), 4) << journal.toStdString();
  EXPECT_TRUE(journal.contains("SHA-256")) << journal.toStdString();
}
