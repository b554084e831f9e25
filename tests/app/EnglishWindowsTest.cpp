// The demo with English chosen: every window the operator can open shows no
// Russian but the names the files hold (vessels, channels, devices), while
// what the program writes stays Russian. With VORTA_SCREENSHOT_DIR set it
// writes each window as a picture.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QTranslator>
#include <set>

#include "DemoRunFixture.h"
#include "app/DemoFolder.h"
#include "app/MainForm.h"
#include "app/PlantHost.h"
#include "commands/FillRun.h"
#include "devices/CANDevice.h"
#include "devices/CANService.h"
#include "devices/IoModule.h"
#include "devices/MixerDC.h"
#include "journal/Alarms.h"
#include "journal/Journal.h"
#include "platform/Language.h"
#include "process/ProcessRecord.h"
#include "windows/alarms/AlarmWindow.h"
#include "windows/charts/ChartForm.h"
#include "windows/devices/DriveParamsWindow.h"
#include "windows/devices/MixerWindow.h"
#include "windows/fill/FillWindow.h"
#include "windows/panel/QtWindowFactory.h"
#include "windows/panel/VortaForm.h"

using namespace vorta;

namespace {

class EnglishWindowsTest : public test::TDemoRunFixture<TQtWindowFactory, false> {
 protected:
  void SetUp() override {
    english_ = InstallProgramTexts(*QCoreApplication::instance(), TLanguage::English);
    ASSERT_NE(english_, nullptr);
    TDemoRunFixture::SetUp();
    StartDemoVessels(form->Processes());
    for (const auto& p : form->Processes()) {
      fromFiles_ << p->Caption();
      for (const auto& c : p->OutputChannels) fromFiles_ << c.ChName.trimmed();
      for (const QString& n : p->Config.AssignName) fromFiles_ << n;
      for (TCANDevice* d :
           {static_cast<TCANDevice*>(p->Board), static_cast<TCANDevice*>(p->Mixer)}) {
        if (d != nullptr) fromFiles_ << d->Caption;
      }
    }
    fromFiles_.removeAll(QString());
    // Longest first, so that a name inside another is not cut out first.
    std::sort(fromFiles_.begin(), fromFiles_.end(),
              [](const QString& a, const QString& b) { return a.size() > b.size(); });
  }

  void TearDown() override {
    TDemoRunFixture::TearDown();
    QCoreApplication::removeTranslator(english_);
    delete english_;
  }

  // A text with Russian left once the names from the files are taken out.
  bool Russian(QString text) const {
    static const QRegularExpression cyrillic(QStringLiteral("[\\x{0400}-\\x{04FF}]"));
    for (const QString& name : fromFiles_) text.remove(name);
    return text.contains(cyrillic);
  }

  void Expect(const QString& where, const QString& text) {
    EXPECT_FALSE(Russian(text)) << where.toStdString() << ": " << text.toStdString();
  }

  void ExpectActions(const QString& where, const QList<QAction*>& actions) {
    for (QAction* a : actions) {
      Expect(where + QStringLiteral(" / menu item"), a->text());
      if (a->menu() != nullptr) ExpectActions(where + u'/' + a->text(), a->menu()->actions());
    }
  }

  // The window, each widget in it and their menus; named by class and object name.
  void ExpectEnglish(QWidget* window) {
    ASSERT_NE(window, nullptr);
    const QString name = QString::fromLatin1(window->metaObject()->className());
    Expect(name + QStringLiteral(" title"), window->windowTitle());
    QList<QWidget*> widgets = window->findChildren<QWidget*>();
    widgets.prepend(window);
    for (QWidget* w : widgets) {
      const QString at = name + QStringLiteral(" > ") +
                         QString::fromLatin1(w->metaObject()->className()) + u' ' + w->objectName();
      ExpectActions(at, w->actions());
      if (auto* l = qobject_cast<QLabel*>(w)) Expect(at, l->text());
      if (auto* b = qobject_cast<QAbstractButton*>(w)) Expect(at, b->text());
      if (auto* g = qobject_cast<QGroupBox*>(w)) Expect(at, g->title());
      if (auto* e = qobject_cast<QLineEdit*>(w)) Expect(at, e->text());
      if (auto* e = qobject_cast<QPlainTextEdit*>(w)) Expect(at, e->toPlainText());
      if (auto* c = qobject_cast<QComboBox*>(w)) {
        for (int i = 0; i < c->count(); ++i) Expect(at, c->itemText(i));
      }
      if (auto* t = qobject_cast<QTabWidget*>(w)) {
        for (int i = 0; i < t->count(); ++i) Expect(at + QStringLiteral(" tab"), t->tabText(i));
      }
      if (auto* t = qobject_cast<QTableWidget*>(w)) {
        for (int c = 0; c < t->columnCount(); ++c) {
          if (auto* h = t->horizontalHeaderItem(c))
            Expect(at + QStringLiteral(" header"), h->text());
          for (int r = 0; r < t->rowCount(); ++r) {
            if (auto* i = t->item(r, c)) Expect(at, i->text());
          }
        }
      }
    }
    Picture(window, name);
  }

  void Picture(QWidget* window, const QString& name) {
    const QString dir = qEnvironmentVariable("VORTA_SCREENSHOT_DIR");
    if (dir.isEmpty()) return;
    QDir().mkpath(dir);
    const QString file =
        QStringLiteral("en-") + name.section(QStringLiteral("::"), -1) + QStringLiteral(".png");
    window->grab().save(QDir(dir).filePath(file));
  }

  // A modal window runs its own loop: looked at and closed from inside it.
  void ExpectModal(const std::function<void()>& open) {
    bool seen = false;
    QTimer::singleShot(0, [this, &seen] {
      QWidget* modal = QApplication::activeModalWidget();
      ExpectEnglish(modal);
      seen = modal != nullptr;
      if (modal != nullptr) modal->close();
    });
    open();
    EXPECT_TRUE(seen);
  }

  QTranslator* english_ = nullptr;
  QStringList fromFiles_;
};

}  // namespace

TEST_F(EnglishWindowsTest, everyWindowSpeaksEnglish_whileTheFilesStayRussian) {
  TVortaProcess& p = *form->Processes().ProcessAt(0);
  auto& panel = dynamic_cast<TVortaForm&>(*p.Panel);
  // A real alarm, shown on the panel and in the alarm window.
  p.LogWriteFailed = true;
  time.AdvanceBy(2000);
  ASSERT_EQ(form->Alarms().ActiveCount(), 1);
  ExpectEnglish(&panel);

  // Every item of the panel's menu that opens a window, as the operator clicks it.
  panel.ExecExportDialog = [this](QFileDialog& dialog) {
    ExpectEnglish(&dialog);
    return static_cast<int>(QDialog::Rejected);
  };
  // Qt's own colour dialog would wait for a choice.
  dynamic_cast<TChartForm&>(*p.ChartForm).ChooseColor = [](const QColor&) { return QColor(); };
  std::vector<QAction*> items;
  std::function<void(QMenu*)> collect = [&](QMenu* menu) {
    for (QAction* a : menu->actions()) {
      if (a->menu() != nullptr) {
        collect(a->menu());
      } else if (!a->isSeparator() && a->isVisible()) {
        items.push_back(a);
      }
    }
  };
  for (QMenu* menu : panel.findChildren<QMenu*>(QString(), Qt::FindDirectChildrenOnly)) {
    collect(menu);
  }
  ASSERT_GT(items.size(), 30U);
  const QString exitText = TVortaForm::tr("Выход");
  const QString aboutText = TVortaForm::tr("О программе");
  const QString driveText = TVortaForm::tr("Параметры двигателя");
  for (QAction* a : items) {
    SCOPED_TRACE(a->text().toStdString());
    if (a->text() == exitText) continue;
    if (a->text() == aboutText) {
      ExpectModal([a] { a->trigger(); });
      continue;
    }
    if (a->text() == driveText) {
      // Read from the drive on virtual time, as the drive tests do.
      TDriveParamsWindow drive(time, messages, &panel);
      drive.LoadDrive(*dynamic_cast<TMixerDC*>(p.Mixer));
      ExpectEnglish(&drive);
      continue;
    }
    const QWidgetList before = QApplication::topLevelWidgets();
    a->trigger();
    QCoreApplication::processEvents();  // some are shown from the event loop
    time.AdvanceBy(2000);               // and fill in from the 2-s cycle
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (before.contains(w) || !w->isVisible()) continue;
      ExpectEnglish(w);
      w->close();  // some open only one at a time
    }
  }
  ASSERT_NE(p.ChartForm, nullptr);
  ExpectEnglish(dynamic_cast<QWidget*>(p.ChartForm.get()));
  auto* mixer = panel.Windows().Mixer.Window<TMixerWindow>();
  ASSERT_NE(mixer, nullptr);
  ExpectEnglish(mixer);
  ASSERT_NE(form->Fill(), nullptr);
  TFillWindow fill(*form->Fill());
  ExpectEnglish(&fill);

  // What was shown in English was written in Russian.
  const TAlarm& alarm = form->Alarms().List().back();
  EXPECT_EQ(alarm.Text, QStringLiteral("Не удалось записать протокол Protocol1.txt"));
  EXPECT_EQ(alarm.Shown(), QStringLiteral("Could not write the data log Protocol1.txt"));
  EXPECT_EQ(p.PanelState.AlarmText,
            QStringLiteral("ALARM: Could not write the data log Protocol1.txt"));
  QFile journal(folder.File(kJournalFileName));
  ASSERT_TRUE(journal.open(QIODevice::ReadOnly));
  EXPECT_TRUE(QString::fromUtf8(journal.readAll()).contains(alarm.Text));
}
