#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>

#include "JournalRows.h"
#include "devices/MixerDC.h"
#include "tests/windows/panel/MixerFixture.h"
#include "windows/devices/DriveParamsWindow.h"

namespace vorta::testing {
namespace {

class DriveParamsTest : public MixerFixture {
 protected:
  // A loaded window on the process's DC drive whose image holds
  // register k = 1000 + k for k = 3..27.
  std::unique_ptr<TDriveParamsWindow> Loaded(TVortaProcess& p) {
    for (int k = 0; k < 28; k += 4) {
      std::vector<std::uint16_t> words;
      for (int i = k; i < k + 4; ++i) words.push_back(static_cast<std::uint16_t>(1000 + i));
      InjectRegisters(k, words);
    }
    auto form = std::make_unique<TDriveParamsWindow>(time_, messages_, nullptr);
    form->Model().OnReadProgress = [this, f = form.get(),
                                    previous = form->Model().OnReadProgress](int step) {
      previous(step);
      Steps.push_back(step);
      ProgressShown.push_back(f->Progress()->isVisibleTo(f) ? f->Progress()->value() : -1);
    };
    auto* drive = dynamic_cast<TMixerDC*>(p.Mixer);
    EXPECT_NE(drive, nullptr);
    if (drive != nullptr) form->LoadDrive(*drive);
    return form;
  }

  std::vector<int> Steps;
  std::vector<int> ProgressShown;
};

TEST_F(DriveParamsTest, loadAsksForEveryRegisterWithProgress_andShowsTheImage) {
  TVortaProcess& p = AddMixerProcess(1);
  const std::int64_t start = time_.ElapsedMs();
  auto form = Loaded(p);
  std::vector<std::uint32_t> requests;
  for (const TSentFrame& s : Sent) {
    if ((s.Frame.Flags & kFlagRemote) != 0 && s.Frame.Len == 8) requests.push_back(s.Frame.Id);
  }
  ASSERT_EQ(requests.size(), 10U);
  for (std::uint32_t i = 0; i < 10; ++i) EXPECT_EQ(requests[i], kMixUid + 8 * i);
  EXPECT_GE(time_.ElapsedMs() - start, 5000);
  EXPECT_EQ(Steps, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  EXPECT_EQ(ProgressShown, Steps) << "the bar is visible and follows the requests";
  EXPECT_FALSE(form->Progress()->isVisibleTo(form.get())) << "hidden when done";
  EXPECT_FALSE(form->Model().Modified);
  EXPECT_EQ(form->Edit(QStringLiteral("Editrpmstop"))->text(), QStringLiteral("1008"));
  EXPECT_EQ(form->Edit(QStringLiteral("EditEvent"))->text(), QStringLiteral("1023"));
  EXPECT_FALSE(form->ReadButton()->isEnabled());
  EXPECT_FALSE(form->WriteButton()->isEnabled());
  Shot(*form, QStringLiteral("drive-parameters"));
}

TEST_F(DriveParamsTest, switchingPagesShowsTheImage_andLosesUnwrittenEdits) {
  TVortaProcess& p = AddMixerProcess(1);
  auto form = Loaded(p);
  form->Edit(QStringLiteral("Editrpmstop"))->setText(QStringLiteral("999"));
  EXPECT_TRUE(form->Model().Modified);
  form->Pages()->setCurrentIndex(2);
  EXPECT_EQ(form->Edit(QStringLiteral("Editkz"))->text(), QStringLiteral("1007"));
  EXPECT_EQ(form->Edit(QStringLiteral("Editcount"))->text(), QStringLiteral("1022"));
  form->Pages()->setCurrentIndex(0);
  EXPECT_EQ(form->Edit(QStringLiteral("Editrpmstop"))->text(), QStringLiteral("1008"));
  EXPECT_TRUE(SentTo(kMixUid + 16).empty()) << "nothing was written";
}

TEST_F(DriveParamsTest, writingTheProtectionPageSendsSixFramesHalfASecondApart) {
  TVortaProcess& p = AddMixerProcess(1);
  test::TJournalOnEnv journal(env_, program_.ProgramFolder);
  auto form = Loaded(p);
  form->SetProcess(p);  // as the menu's window is given it
  Sent.clear();
  form->WriteClick();
  EXPECT_TRUE(Sent.empty()) << "nothing changed since the load";

  form->Edit(QStringLiteral("EditIstop"))->setText(QStringLiteral("0x1F4"));
  form->WriteClick();
  std::vector<TSentFrame> frames;
  for (const TSentFrame& s : Sent) {
    if ((s.Frame.Flags & kFlagRemote) == 0) frames.push_back(s);
  }
  ASSERT_EQ(frames.size(), 6U);
  const int regs[] = {8, 12, 15, 9, 11, 23};
  const int values[] = {1008, 500, 1015, 1009, 1011, 1023};
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(std::uint32_t{frames[i].Frame.Id}, kMixUid + 2U * static_cast<std::uint32_t>(regs[i]))
        << i;
    EXPECT_EQ(frames[i].Frame.Len, 2) << i;
    EXPECT_EQ(frames[i].Word(), values[i]) << i;
    if (i > 0) {
      const std::int64_t gap = frames[i].AtMs - frames[i - 1].AtMs;
      EXPECT_GT(gap, 500) << i;
      EXPECT_LT(gap, 520) << i;
    }
  }
  EXPECT_FALSE(form->Model().Modified);
  EXPECT_FALSE(form->Busy());
  // Only the register whose value changed is journalled.
  EXPECT_EQ(journal.Changes(),
            QStringList{QStringLiteral(
                "1 F1|Привод Mix1: регистр 12 «Критические / Ток (mA)»|1012|500|Panel")});
}

TEST_F(DriveParamsTest, aTextThatIsNoRegisterValueStopsTheWriteThereAndNamesTheRegister) {
  TVortaProcess& p = AddMixerProcess(1);
  auto form = Loaded(p);
  for (const char* bad : {"abc", "70000", "-1"}) {
    Sent.clear();
    messages_.Errors.clear();
    form->Edit(QStringLiteral("Edittcstop"))->setText(QString::fromLatin1(bad));
    form->WriteClick();
    std::vector<std::uint32_t> ids;
    for (const TSentFrame& s : Sent) {
      if ((s.Frame.Flags & kFlagRemote) == 0) ids.push_back(s.Frame.Id);
    }
    EXPECT_EQ(ids, (std::vector<std::uint32_t>{kMixUid + 16, kMixUid + 24})) << bad;
    ASSERT_EQ(messages_.Errors.size(), 1) << bad;
    EXPECT_TRUE(messages_.Errors[0].contains(QStringLiteral("Регистр 15"))) << bad;
    EXPECT_TRUE(messages_.Errors[0].contains(QString::fromLatin1(bad))) << bad;
  }
}

TEST_F(DriveParamsTest, theMenuRefusesAProcessWithoutADcDrive) {
  TVortaProcess& p = AddMixerProcess(1, {}, "");
  Form(p).MenuItem({QStringLiteral("Параметры двигателя")})->trigger();
  EXPECT_EQ(messages_.Errors, QStringList{QStringLiteral("Неверный объект для конфигурирования.")});
}

}  // namespace
}  // namespace vorta::testing
