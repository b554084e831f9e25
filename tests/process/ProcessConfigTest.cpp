#include <gtest/gtest.h>

#include <QStringEncoder>

#include "ProgramFolder.h"
#include "RecordingMessages.h"
#include "devices/CANBus.h"
#include "devices/IoModule.h"
#include "devices/MixerDC.h"
#include "journal/Journal.h"
#include "platform/VirtualTimerService.h"
#include "process/ConfigWriteBack.h"
#include "process/DataLog.h"
#include "process/PanelView.h"
#include "process/ProcessConfig.h"
#include "process/ProcessRecord.h"

using namespace vorta;

namespace {

QByteArray Cp1251(const QString& text) {
  QStringEncoder enc("windows-1251");
  return enc.encode(text);
}

// A full process file as an installation would have it (Windows-1251, CRLF).
const char* const kFullFile =
    "; Ферментёр 3\r\n"
    "[Port]\r\nNameProcess=Ф-%d\r\nNumProcess=3\r\nProtocolname=Prot3.txt\r\nStatus=master\r\n"
    "ProtocolPeriodmin=5\r\n"
    "[Hardware]\r\nBoard=Board1\r\nMixer=Mixer1\r\n"
    "[Defoult]\r\nportout1=$FFFF\r\nportout2=3\r\n"
    "[Include]\r\nIntervalIzm=0x10\r\nADC0=OFF\r\nADC1=ON\r\nADC2=off\r\n"
    "[outputs]\r\noutput3=5\r\noutput4=9\r\n"
    "[Channels]\r\nch1=1,Щёлочь\r\nch2=2,Кислота\r\nch3=x,Очень длинное имя канала\r\n"
    "[Pumps]\r\n2=4\r\nPumpCode2=0x20\r\nPumpType=Dorvex\r\n"
    "[AssignName]\r\n1=pH\r\n2=tC\r\n3=pO2\r\n4=eH\r\n"
    "[pH]\r\nzad=7.20\r\nlin=0.10\r\nmin=2\r\nmax=12\r\nc1=4\r\nc2=9\r\na1=1000\r\na2=3000\r\n"
    "[CtrlpH]\r\np=10\r\nup=1\r\ndown=2\r\nen=1\r\nlo=3\r\nhi=11\r\ndz=0.05\r\ngu=10\r\ngd=12\r\n"
    "m=0,1,1,0\r\n"
    "[tC]\r\nz=37\r\nl=0\r\nmi=0\r\nma=100\r\nc1=20\r\nc2=80\r\na1=800\r\na2=3200\r\n"
    "[CtrltC]\r\np=15\r\nup=99\r\ndown=6\r\nen=1\r\nlo=10\r\nhi=60\r\ndz=0.1\r\ngu=20\r\ngd=10\r\n"
    "m=1,1,1,1\r\n"
    "[Mode]\r\nmode=3\r\n"
    "[CtrlSpume]\r\nSpumelevel=2\r\n"
    "[EPP]\r\neppch=2\r\neppexist=1\r\neppperiod=30\r\neppact=3\r\neppmax=50\r\n"
    "[Events1]\r\nch=1\r\nexist=1\r\nEFT=60\r\nWRK=5\r\naperiod=1\r\n"
    "[Podpitka]\r\nVentil=2,7\r\nSreda=0,0\r\nPump=3,4\r\nFazaCount=2\r\nFaza0=1,0,1\r\n"
    "Faza1=0,1,0\r\n"
    "[Light]\r\nExistLight=1\r\nLightCh=9\r\n"
    "[Terminate]\r\nsucsesful=Y\r\n";

class LoaderTest : public ::testing::Test {
 protected:
  LoaderTest() { program.ProgramFolder = folder.Path(); }

  std::unique_ptr<TVortaProcess> Load(const QString& name) {
    return std::make_unique<TVortaProcess>(env, name);
  }

  test::TProgramFolder folder;
  TProgramState program;
  TVirtualTimerService time;
  test::TRecordingMessages messages;
  THeadlessWindowFactory windows;
  TCANBus bus;
  TVortaProcessList list;
  TVortaEnv env{program, time, messages, windows, &bus, &list};
};

}  // namespace

TEST_F(LoaderTest, fullFileLoadsEveryGroup) {
  TIoModule board(time);
  board.Name = "Board1";
  TMixerDC mixer(time);
  mixer.Name = "Mixer1";
  bus.Add(&board);
  bus.Add(&mixer);
  folder.Write("p3.ini", Cp1251(QString::fromUtf8(kFullFile)));
  auto p = Load("p3.ini");

  EXPECT_TRUE(p->LoadError.isEmpty());
  EXPECT_EQ(p->Board, &board);
  EXPECT_EQ(p->Mixer, &mixer);
  EXPECT_EQ(p->Config.NameProcess, QStringLiteral("Ф-%d"));
  EXPECT_EQ(p->Config.NumProcess, 3);
  EXPECT_EQ(p->PanelState.Caption, QStringLiteral("Ф-3"));
  EXPECT_EQ(p->Config.ProtocolPeriodmin, 5);
  EXPECT_EQ(p->PanelState.ProtocolMenuChecked, 5);
  EXPECT_EQ(p->Config.OutputMask[3], 16);
  EXPECT_EQ(p->Config.OutputMask[4], 0);
  EXPECT_EQ(p->Config.OutputMask[1], 1);
  EXPECT_EQ(p->OutputChannels[1].ChName, QStringLiteral("Щёлочь"));
  EXPECT_EQ(p->OutputChannels[3].ChName, QStringLiteral("Очень длинное им"));  // 16 characters
  EXPECT_EQ(p->OutputChannels[2].ChPump, 4);
  EXPECT_DOUBLE_EQ(p->Channel[1].Config.Setpoint, 7.2);
  EXPECT_DOUBLE_EQ(p->Channel[1].Config.LinAdjust, 0.1);
  EXPECT_EQ(p->Channel[1].Config.CalAdc2, 3000);
  EXPECT_EQ(p->Channel[1].Config.CtrlPeriod, 10);
  EXPECT_DOUBLE_EQ(p->Channel[1].Config.GainDown, 12);
  EXPECT_EQ(p->Channel[1].Config.CtrlModes, (std::array<std::int16_t, 4>{0, 1, 1, 0}));
  // The heating output of t°C comes from the main configuration, not the file.
  EXPECT_EQ(p->Channel[2].Config.CtrlOutUp, 8);
  EXPECT_EQ(p->Channel[2].Config.CtrlOutDown, 6);
  EXPECT_EQ(p->Epp.Period, 30);
  EXPECT_EQ(p->Epp.ChName, QStringLiteral("Кислота"));
  EXPECT_EQ(p->Events1.Aperiod, 1);
  EXPECT_EQ(p->Config.Ventil, (std::array<std::int16_t, 2>{2, 7}));
  EXPECT_EQ(p->Config.FazaCount, 2);
  EXPECT_EQ(p->Config.Faza[1], (std::array<std::uint8_t, 3>{0, 1, 0}));
  EXPECT_EQ(p->Config.PumpCode2, 0x20);
  // Only the exact text "DORVEX" selects that pump type.
  EXPECT_EQ(p->Config.PumpTypeDorvex, 0);
  EXPECT_TRUE(p->PanelState.LightButtonVisible);
  EXPECT_EQ(p->Config.LightCh, 9);
  // Spumelevel 2: outputs 12 and 13 off; 14 on at load; the word masked to 0xF800.
  EXPECT_EQ(p->OutputWord & 0x0800, 0);
  EXPECT_EQ(p->OutputWord & 0x1000, 0);
  EXPECT_NE(p->OutputWord & 0x2000, 0);
  EXPECT_EQ(p->OutputWord & 0x07FF, 0);
  // A normal end last time: mode 0 whatever the file says, and the mark is N.
  EXPECT_EQ(p->Mode, TVesselMode::Uncontrolled);
  EXPECT_TRUE(folder.Read("p3.ini").contains("sucsesful=N\r\n"));
  // The data log was created with its header and made read-only.
  EXPECT_TRUE(folder.Exists("Prot3.txt"));
  EXPECT_TRUE(folder.Read("Prot3.txt").startsWith("Date\tTime\tpH\tSetpH\t"));
}

TEST_F(LoaderTest, nearlyEmptyFileTakesEveryDefault) {
  folder.Write("p.ini", "[Channels]\r\nch1=1,A\r\n");
  auto p = Load("p.ini");
  EXPECT_EQ(p->Config.MixSet, 400);
  EXPECT_EQ(p->MixCode, 10);
  EXPECT_EQ(p->Config.PumpCode1, 100);
  EXPECT_EQ(p->Config.PumpCode4, 100);
  EXPECT_EQ(p->Config.LightCh, 8);
  EXPECT_EQ(p->Config.LightTime, 2);
  EXPECT_EQ(p->Config.po2mixcoderightzone, 500);
  EXPECT_EQ(p->Config.po2mixcodeleftzone, 60);
  EXPECT_EQ(p->Med.Period, 4);
  EXPECT_DOUBLE_EQ(p->Config.kdurwind, 1);
  EXPECT_DOUBLE_EQ(p->Config.kskachok, 1);
  EXPECT_DOUBLE_EQ(p->Config.po2koef, 1);
  EXPECT_DOUBLE_EQ(p->Config.Reduction, 1);
  for (int i = 1; i <= 8; ++i) EXPECT_EQ(p->Config.OutputMask[i], 1 << (i - 1));
  EXPECT_EQ(p->Config.NameProcess, "1");
  EXPECT_EQ(p->Config.PumpTypeDorvex, 1);
  EXPECT_EQ(p->Config.Protocolname, "Protocol.txt");
  EXPECT_EQ(p->PanelState.ProtocolMenuChecked, 1);
}

TEST_F(LoaderTest, shortParameterSectionsReadAsZeroWithOneMessage) {
  folder.Write("p.ini",
               "[AssignName]\r\n1=pH\r\n[pH]\r\na=7.5\r\nb=0.5\r\n[CtrlpH]\r\np=10\r\n"
               "[Podpitka]\r\nFazaCount=40\r\n[Port]\r\nNumProcess=abc\r\n");
  auto p = Load("p.ini");
  EXPECT_DOUBLE_EQ(p->Channel[1].Config.Setpoint, 7.5);
  EXPECT_DOUBLE_EQ(p->Channel[1].Config.LinAdjust, 0.5);
  EXPECT_DOUBLE_EQ(p->Channel[1].Config.MaxValue, 0);
  EXPECT_EQ(p->Channel[1].Config.CtrlPeriod, 10);
  EXPECT_EQ(p->Channel[1].Config.CtrlModes, (std::array<std::int16_t, 4>{}));
  EXPECT_EQ(p->Config.NumProcess, 0);
  // The phase table holds 17 entries: a longer programme is refused, not run.
  EXPECT_EQ(p->Config.FazaCount, 0);
  ASSERT_EQ(messages.Infos.size(), 1);
  EXPECT_TRUE(messages.Infos[0].contains("p.ini"));
  EXPECT_TRUE(messages.Infos[0].contains("[pH]"));
  EXPECT_TRUE(messages.Infos[0].contains("FazaCount"));
}

TEST_F(LoaderTest, numbersThatCannotBeTakenKeepTheirDefaultWithOneReport) {
  folder.Write("p.ini",
               "[AssignName]\r\n1=pH\r\n"
               "[pH]\r\nzad=7,00\r\nlin=abc\r\nmin=2\r\nmax=12\r\nc1=4\r\nc2=9\r\na1=70000\r\n"
               "a2=3000\r\n[CtrlpH]\r\np=10\r\nup=1\r\ndown=2\r\nen=1\r\nlo=3,5\r\nhi=11\r\n"
               "dz=0.05\r\ngu=10\r\ngd=12\r\nm=0,1,1,0\r\n"
               "[Port]\r\nProtocolPeriodmin=65536\r\n[Mixer]\r\nReduction=NaN\r\nMixSet=-1\r\n"
               "[Podpitka]\r\nVentil=300,2\r\n[Pumps]\r\nPumpCode1=99999999999\r\n");
  auto p = Load("p.ini");
  // A decimal comma is the number the operator meant, not 0.
  EXPECT_DOUBLE_EQ(p->Channel[1].Config.Setpoint, 7);
  EXPECT_DOUBLE_EQ(p->Channel[1].Config.CtrlLow, 3.5);
  // Nothing is wrapped into a narrower field: each takes its default.
  EXPECT_DOUBLE_EQ(p->Channel[1].Config.LinAdjust, 0);
  EXPECT_EQ(p->Channel[1].Config.CalAdc1, 0);
  EXPECT_EQ(p->Config.ProtocolPeriodmin, 1);
  EXPECT_DOUBLE_EQ(p->Config.Reduction, 1);
  EXPECT_EQ(p->Config.MixSet, 400);
  EXPECT_EQ(p->Config.Ventil[0], 0);
  EXPECT_EQ(p->Config.PumpCode1, 100);
  ASSERT_EQ(messages.Infos.size(), 1);
  const QString& report = messages.Infos[0];
  EXPECT_TRUE(report.contains("p.ini"));
  for (const char* line :
       {"[pH] lin=abc", "[pH] a1=70000", "[Port] ProtocolPeriodmin=65536", "[Mixer] Reduction=NaN",
        "[Mixer] MixSet=-1", "[Podpitka] Ventil=300", "[Pumps] PumpCode1=99999999999"}) {
    EXPECT_TRUE(report.contains(QString::fromUtf8(line))) << line;
  }
  EXPECT_FALSE(report.contains("zad")) << report.toStdString();
  // What the program writes back keeps a point.
  p->SaveRequest.Add(TWriteBackGroup::Setpoints);
  SaveRequestedGroup(*p);
  EXPECT_TRUE(folder.Read("p.ini").contains("zad=7.00\r\n"));

  // -1 must not become 65535, which would never write a row.
  folder.Write("q.ini", "[Port]\r\nProtocolPeriodmin=-1\r\n");
  EXPECT_EQ(Load("q.ini")->Config.ProtocolPeriodmin, 1);
}

TEST_F(LoaderTest, byPositionReadingIgnoresKeyNamesButNotOrder) {
  folder.Write("a.ini", "[AssignName]\r\n1=pH\r\n[pH]\r\nfoo=7\r\nbar=0.2\r\n");
  folder.Write("b.ini", "[AssignName]\r\n1=pH\r\n[pH]\r\nbar=0.2\r\nfoo=7\r\n");
  auto a = Load("a.ini");
  auto b = Load("b.ini");
  EXPECT_DOUBLE_EQ(a->Channel[1].Config.Setpoint, 7);
  EXPECT_DOUBLE_EQ(b->Channel[1].Config.Setpoint, 0.2);
  EXPECT_DOUBLE_EQ(b->Channel[1].Config.LinAdjust, 7);
}

TEST_F(LoaderTest, abnormalEndRestoresTheModeFromTheLogsLastLine) {
  const QByteArray file = "[Mode]\r\nmode=1\r\n[Terminate]\r\nsucsesful=N\r\n";
  folder.Write("p.ini", file);
  folder.Write("Protocol.txt", "Date\tTime\r\n06.12.\t1:2:3\t7.00\tNet OK\tChemo\r\n");
  auto chemostat = Load("p.ini");
  EXPECT_EQ(chemostat->Mode, TVesselMode::Chemostat);
  // The mark stays N until a normal end; the restored mode is the file's now.
  EXPECT_TRUE(folder.Read("p.ini").contains("mode=2\r\nCurrent=1\r\n"));
  EXPECT_TRUE(folder.Read("p.ini").contains("sucsesful=N"));
  chemostat.reset();
  EXPECT_TRUE(folder.Read("p.ini").contains("sucsesful=Y"));

  folder.Write("p.ini", file);
  folder.Write("Protocol.txt", "Date\tTime\r\nrow without a mode\r\n");
  EXPECT_EQ(Load("p.ini")->Mode, TVesselMode::Uncontrolled);
  EXPECT_FALSE(messages.Infos.join("").contains(QStringLiteral("занят")));
}

// A kill leaves the process file as the last start or change wrote it.
TEST_F(LoaderTest, afterAKillTheModeLastWrittenWinsOverTheLogsOlderRow) {
  TJournal journal(folder.File("VortaJournal.txt"), time);
  ASSERT_TRUE(journal.Open());
  env.Journal = &journal;
  const auto loadThenKill = [this] {
    auto p = Load("p.ini");
    const QByteArray atKill = folder.Read("p.ini");
    const auto mode = p->Mode;
    p.reset();
    folder.Write("p.ini", atKill);
    return mode;
  };
  // The mode set a moment before the kill: no row holds it yet.
  folder.Write("p.ini", "[Mode]\r\nmode=3\r\nCurrent=1\r\n[Terminate]\r\nsucsesful=N\r\n");
  folder.Write("Protocol.txt", "Date\tTime\r\n06.12.\t1:2:3\t7.00\tNet OK\tChemo\r\n");
  EXPECT_EQ(loadThenKill(), TVesselMode::Turbidostat);

  // An end from outside kept the mode; the start that took it is killed too.
  folder.Write("p.ini", "[Mode]\r\nmode=0\r\n[Terminate]\r\nsucsesful=N\r\nKeptMode=1\r\n");
  EXPECT_EQ(loadThenKill(), TVesselMode::Batch);
  EXPECT_EQ(loadThenKill(), TVesselMode::Batch);

  // A row cut by a kill, closed by the next start, which is killed before
  // its own first row: the cut row is not taken for the last one.
  folder.Write("p.ini", "[Mode]\r\nmode=0\r\n[Terminate]\r\nsucsesful=N\r\n");
  folder.Write("Protocol.txt", "Date\tTime\r\n06.12.\t1:2:3\t7.00\tNet OK\tChemo\r\n06.12.\t1:3");
  EXPECT_EQ(loadThenKill(), TVesselMode::Chemostat);
  EXPECT_EQ(loadThenKill(), TVesselMode::Chemostat);
  env.Journal = nullptr;

  // Each restore says where its mode came from.
  QFile f(journal.Path());
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray records = f.readAll();
  for (const char* source : {"[Mode] mode\t3 ", "[Terminate] KeptMode\t1 ", "[Mode] mode\t1 ",
                             "Protocol.txt\t2 ", "[Mode] mode\t2 "}) {
    EXPECT_TRUE(records.contains(source)) << source;
  }
}

TEST_F(LoaderTest, unreadableLogKeepsTheFilesModeAndSaysSo) {
  folder.Write("p.ini", "[Mode]\r\nmode=3\r\n[Terminate]\r\nsucsesful=N\r\n");
  ASSERT_TRUE(QDir(folder.Path()).mkdir("Protocol.txt"));  // cannot be opened as a file
  auto p = Load("p.ini");
  EXPECT_EQ(p->Mode, TVesselMode::Turbidostat);
  EXPECT_TRUE(
      messages.Infos.contains(QStringLiteral("Файл Protocol.txt занят другим приложением")));
}

TEST_F(LoaderTest, deviceOfTheWrongKindAbortsTheLoadWithAClearMessage) {
  TMixerDC mixer(time);
  mixer.Name = "Board1";
  bus.Add(&mixer);
  folder.Write("p.ini", "[Hardware]\r\nBoard=Board1\r\n");
  auto p = Load("p.ini");
  EXPECT_FALSE(p->LoadError.isEmpty());
  EXPECT_EQ(p->Board, nullptr);
  ASSERT_EQ(messages.Errors.size(), 1);
  EXPECT_TRUE(messages.Errors[0].contains("p.ini"));
  EXPECT_TRUE(messages.Errors[0].contains("Board"));
  EXPECT_TRUE(messages.Errors[0].contains("Board1"));
}

TEST_F(LoaderTest, deviceNamesMatchExactly) {
  TIoModule board(time);
  board.Name = "Board1";
  bus.Add(&board);
  folder.Write("p.ini", "[Hardware]\r\nBoard=board1\r\n");
  auto p = Load("p.ini");
  EXPECT_TRUE(p->LoadError.isEmpty());
  EXPECT_EQ(p->Board, nullptr);
}

TEST_F(LoaderTest, saveAtTheEndWritesOnlyItsKeys) {
  const QByteArray original =
      "; keep me\r\n[Terminate]\r\nsucsesful=Y\r\n\r\n[Mixer]\r\nMixTop=5\r\n"
      "[Port]\r\nProtocolPeriodmin=3\r\n";
  folder.Write("p.ini", original);
  {
    auto p = Load("p.ini");
    EXPECT_EQ(p->PanelState.ProtocolMenuChecked, 0);
    p->MixLeft = 77;
  }
  EXPECT_EQ(folder.Read("p.ini"),
            "; keep me\r\n[Terminate]\r\nsucsesful=Y\r\n\r\n[Mixer]\r\nMixTop=5\r\nMixLeft=77\r\n"
            "MixVisible=0\r\n[Port]\r\nProtocolPeriodmin=3\r\n[Mode]\r\nmode=0\r\nCurrent=1\r\n");
}

TEST(ProcessRecord, ParseModeFlags_singleDigitsAtOddPositions) {
  EXPECT_EQ(ParseModeFlags("1,0,1,1"), (std::array<std::int16_t, 4>{1, 0, 1, 1}));
  EXPECT_EQ(ParseModeFlags("1,x"), (std::array<std::int16_t, 4>{1, 0, 0, 0}));
  EXPECT_EQ(ParseModeFlags(""), (std::array<std::int16_t, 4>{}));
  EXPECT_EQ(ParseModeFlags("12,3"), (std::array<std::int16_t, 4>{1, 0, 0, 0}));
}

TEST(ProcessRecord, NextTokenTakesTextBeforeTheFirstComma) {
  QString list = "2,7,1";
  EXPECT_EQ(NextToken(list), "2");
  EXPECT_EQ(list, "7,1");
  EXPECT_EQ(NextToken(list), "7");
  EXPECT_EQ(NextToken(list), "1");
  EXPECT_EQ(NextToken(list), "");
}

TEST(DataLogText, StripToModeFindsTheTokenWithinTheFirst255Characters) {
  EXPECT_EQ(StripToMode("a\tb\tChemo"), "Chemo");
  EXPECT_EQ(StripToMode("nothing here"), "");
  EXPECT_EQ(StripToMode(QString(300, u'x') + "Chemo"), QString(300, u'x').mid(44) + "Chemo");
  EXPECT_EQ(ModeFromAbbreviation("Turbi"), 3);
  EXPECT_EQ(ModeFromAbbreviation("turbi"), -1);
}
