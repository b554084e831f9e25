// The plan window opened from the panel's menu: the steps in file order with
// the current one marked, the time to the next and a setpoint changed by
// hand. With VORTA_SCREENSHOT_DIR set it writes its picture (docs/images
// keeps plan-window.png).

#include <QLabel>
#include <QListWidget>

#include "DialogFixture.h"
#include "plans/PlanHost.h"
#include "windows/dialogs/PlanWindow.h"

namespace vorta::testing {
namespace {

using PlanWindowTest = DialogFixture;

TEST_F(PlanWindowTest, showsTheCurrentStepTheTimeToTheNextAndTheOverride) {
  TVortaProcess& p = AddProcess(1);
  WriteFile(QStringLiteral("feed.yaml"), R"(name: Fed-batch
steps:
  - name: batch
    setpoint: {channel: pH, value: 6.8}
  - name: substrate out
    wait_until: {condition: "pO2 > 60", for: 2 min, limit: 30 h}
  - repeat:
      times: 4
      steps:
        - name: feed step
          pulse: {generator: Epp, period: 10 min, on: 20 s}
        - wait: 4 h
  - name: harvest
    alarm: harvest now
)");
  TPlanHost host(time_, program_.ProgramFolder);
  ASSERT_TRUE(host.Start(p, program_.ProgramFolder + "feed.yaml").Ok);
  time_.AdvanceBy(3'600'000);
  p.Channel[1].Config.Setpoint = 7.1;  // the operator's own
  TPlanWindow::Host = &host;
  Menu(p, {QStringLiteral("План…")});
  Menu(p, {QStringLiteral("План…")});  // the open one again, not a second
  TPlanWindow* w = nullptr;
  int windows = 0;
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (auto* found = qobject_cast<TPlanWindow*>(top); found != nullptr && found->isVisible()) {
      w = found;
      ++windows;
    }
  }
  TPlanWindow::Host = nullptr;
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(windows, 1);
  ASSERT_EQ(w->Steps()->count(), 6);  // the repeat's line and five steps
  EXPECT_TRUE(w->Steps()->item(1)->font().bold());
  EXPECT_FALSE(w->Steps()->item(0)->font().bold());
  const QString header = w->Header()->text();
  EXPECT_TRUE(header.contains(QStringLiteral("Шаг 2 из 5"))) << header.toStdString();
  EXPECT_TRUE(header.contains(QStringLiteral("1 d 5 h"))) << header.toStdString();
  EXPECT_TRUE(header.contains(QStringLiteral("вручную"))) << header.toStdString();
  EXPECT_TRUE(header.contains(QStringLiteral("feed step"))) << header.toStdString();
  if (const QString dir = qEnvironmentVariable("VORTA_SCREENSHOT_DIR"); !dir.isEmpty())
    w->grab().save(dir + QStringLiteral("/plan-window.png"));
  // Inside the repeat: its own line is no step of the count.
  ASSERT_TRUE(host.Runner(p)->Skip(host.MonotonicMs()));
  w->Refresh();
  EXPECT_TRUE(w->Steps()->item(3)->font().bold());
  // Another plan started while the window stays open: its steps, not the old ones.
  host.Runner(p)->Stop(QStringLiteral("test"));
  WriteFile(QStringLiteral("short.yaml"), "steps:\n  - wait: 1 h\n");
  ASSERT_TRUE(host.Start(p, program_.ProgramFolder + "short.yaml").Ok);
  w->Refresh();
  EXPECT_EQ(w->Steps()->count(), 1);
  delete w;
}

}  // namespace
}  // namespace vorta::testing
