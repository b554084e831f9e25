#include "app/DemoFolder.h"

#include <QDir>
#include <QSaveFile>
#include <algorithm>
#include <vector>

#include "commands/PanelActions.h"
#include "process/PanelView.h"
#include "process/ProcessRecord.h"
#include "process/StatusMessages.h"

namespace vorta {

namespace {

struct TDemoVessel {
  int number;
  QString board;
  QString mixer;
  int boardUid;
  int mixerUid;
  QString mixerType;
  double phSet;
  double tSet;
  double po2Set;
};

// Vessel n (1-based): its devices sit in identifier blocks of their own;
// drives alternate between the DC drive and the inverter.
TDemoVessel MakeVessel(int n) {
  static const double kPh[] = {7.00, 6.80, 7.20, 7.00};
  static const double kT[] = {37.0, 30.0, 37.0, 32.0};
  static const double kPo2[] = {30.0, 40.0, 25.0, 35.0};
  const int k = (n - 1) % 4;
  return {n,
          QStringLiteral("Board%1").arg(n),
          QStringLiteral("Mixer%1").arg(n),
          0x1000 + 0x200 * (n - 1),
          0x1100 + 0x200 * (n - 1),
          n % 2 == 1 ? QStringLiteral("TMixerDC") : QStringLiteral("TMixerOmron"),
          kPh[k],
          kT[k],
          kPo2[k]};
}

QString ProcessFile(const TDemoVessel& v) {
  QString s;
  s += QStringLiteral(
           "; Демонстрационный ферментёр на виртуальной установке\r\n"
           "[Port]\r\nNameProcess=%1\r\nNumProcess=%2\r\nProtocolname=Protocol%2.txt\r\n"
           "Status=%3\r\nProtocolPeriodmin=1\r\n"
           "[Hardware]\r\nBoard=%4\r\nMixer=%5\r\n"
           "[Defoult]\r\nportout1=0\r\nportout2=0\r\n"
           // Readable at once; with no place given it opens beside its panel.
           "ChartWidth=760\r\nChartHeight=420\r\n")
           .arg(QStringLiteral("Ферментёр %d"))
           .arg(v.number)
           .arg(v.number == 1 ? QStringLiteral("master") : QStringLiteral("slave"))
           .arg(v.board, v.mixer);
  s += QStringLiteral(
      "[Include]\r\nIntervalIzm=2\r\nADC0=ON\r\nADC1=ON\r\nADC2=ON\r\nADC3=ON\r\nADC4=OFF\r\n"
      "[outputs]\r\noutput1=1\r\noutput2=2\r\noutput3=3\r\noutput4=4\r\noutput5=5\r\n"
      "output6=6\r\noutput7=7\r\noutput8=8\r\n"
      // Entry k names manual button k and the log's dose column k, which are
      // output k: button 1 is pH down, 2 pH up, 3 antifoam, 4 and 5 the pO2
      // section's up and down, 6 cooling, 7 heating.
      "; Кнопка k и столбец дозы k в протоколе - это выход k\r\n"
      "[Channels]\r\nch1=1,Кислота\r\nch2=1,Щёлочь\r\nch3=1,Пеногаш.\r\n"
      "ch4=1,Подпитка 1\r\nch5=1,Подпитка 2\r\nch6=1,Охлажд.\r\nch7=1,Нагрев\r\n"
      "ch8=1,Клапан\r\nch9=1,Свет\r\nch10=1,Среда\r\nch11=1,Пар\r\nch12=1,Резерв\r\n"
      "[AssignName]\r\n1=pH\r\n2=tC\r\n3=pO2%\r\n4=eH\r\n5=Common\r\n"
      "[Common]\r\npump=0\r\nkdurwind=0.02\r\nkskachok=5\r\n");
  // Calibration: two points per channel, codes as the module reports them.
  s += QStringLiteral(
           "[pH]\r\nSetpoint=%1\r\nLinAdjust=0.00\r\nMin=2.00\r\nMax=12.00\r\n"
           "Cal1=4.00\r\nCal2=9.00\r\nAdc1=1170\r\nAdc2=2925\r\n"
           "[tC]\r\nSetpoint=%2\r\nLinAdjust=0.00\r\nMin=5.00\r\nMax=90.00\r\n"
           "Cal1=20.00\r\nCal2=80.00\r\nAdc1=819\r\nAdc2=3276\r\n"
           "[pO2%]\r\nSetpoint=%3\r\nLinAdjust=0.00\r\nMin=0.10\r\nMax=200.00\r\n"
           "Cal1=0.00\r\nCal2=100.00\r\nAdc1=0\r\nAdc2=2047\r\n"
           "[eH]\r\nSetpoint=-150.00\r\nLinAdjust=0.00\r\nMin=-999.00\r\nMax=999.00\r\n"
           "Cal1=-500.00\r\nCal2=500.00\r\nAdc1=1023\r\nAdc2=3071\r\n")
           .arg(v.phSet, 0, 'f', 2)
           .arg(v.tSet, 0, 'f', 2)
           .arg(v.po2Set, 0, 'f', 2);
  s += QStringLiteral(
      "[CtrlpH]\r\nPeriod=10\r\nUp=2\r\nDown=1\r\nEnable=1\r\nLow=3.00\r\nHigh=11.00\r\n"
      "DeadZone=0.03\r\nGainUp=60.00\r\nGainDown=60.00\r\nModes=0,1,1,1\r\n"
      "[CtrltC]\r\nPeriod=15\r\nUp=7\r\nDown=6\r\nEnable=1\r\nLow=10.00\r\nHigh=60.00\r\n"
      "DeadZone=0.10\r\nGainUp=20.00\r\nGainDown=10.00\r\nModes=0,1,1,1\r\n"
      "; pO2 держит мешалка; выходы раздела - насосы подпитки кнопок 4 и 5\r\n"
      "[CtrlpO2%]\r\nPeriod=10\r\nUp=4\r\nDown=5\r\nEnable=0\r\nLow=0.00\r\nHigh=200.00\r\n"
      "DeadZone=2.00\r\nGainUp=0.00\r\nGainDown=0.00\r\nModes=0,0,0,0\r\n"
      "[CtrleH]\r\nPeriod=10\r\nUp=0\r\nDown=0\r\nEnable=0\r\nLow=-999.00\r\nHigh=999.00\r\n"
      "DeadZone=10.00\r\nGainUp=0.00\r\nGainDown=0.00\r\nModes=0,0,0,0\r\n"
      "[Ctrlpo2]\r\npo2ctrlmotor=1\r\npo2motorperiod=4\r\npo2mixcoderightzone=900\r\n"
      "po2mixcodeleftzone=300\r\npo2koef=1.0\r\n"
      "[Mode]\r\nmode=1\r\n"
      "[CtrlSpume]\r\nspumech=3\r\npenaperiod=3\r\nExistpena=1\r\nInversPena=1\r\n"
      "Spumelevel=1\r\n"
      "[EPP]\r\neppch=4\r\neppexist=0\r\neppperiod=30\r\neppact=2\r\neppmax=100\r\n"
      "[Med]\r\nmedch=5\r\nmedexist=0\r\nmedperiod=4\r\nmedact=0\r\nmedmax=100\r\n"
      "[Events1]\r\nch=9\r\nexist=0\r\nEFT=0\r\nWRK=0\r\naperiod=0\r\n"
      "[Events2]\r\nch=0\r\nexist=0\r\nEFT=0\r\nWRK=0\r\naperiod=0\r\n"
      "[Terminate]\r\nsucsesful=Y\r\n");
  // Each vessel's mixer window beside the screen's left edge, one under another.
  s += QStringLiteral("[Mixer]\r\nMixTop=%1\r\nMixLeft=20\r\nMixCode=140\r\nMixSet=1000\r\n")
           .arg(40 + 130 * ((v.number - 1) % 6));
  s += QStringLiteral(
      "RestartDeltaCode=10\r\nReduction=1\r\nMixVisible=0\r\nMixStartStatus=1\r\n"
      // A fill dose: valve open, then medium with the feed pump, then all closed.
      "[Podpitka]\r\nVentil=1,8\r\nSreda=1,10\r\nPump=1,4\r\nKlapan=8\r\nFazaCount=3\r\n"
      "Faza0=0,0,1\r\nFaza1=1,1,1\r\nFaza2=0,0,0\r\n"
      "[Pumps]\r\nPumpCode1=100\r\nPumpCode2=100\r\nPumpCode3=100\r\nPumpCode4=100\r\n"
      "PumpType=DORVEX\r\n"
      "[Light]\r\nLightCh=9\r\nLightTime=5\r\nExistLight=1\r\n"
      "[Chart]\r\nZoom=2\r\nChart1Dimen=1,2,3,4\r\nChart1Show=1,1,1,1\r\n"
      "Chart1Colors=255,32768,16711680,8388736\r\nChart1Point=0,0,0,0\r\n"
      "Chart1Scale=10,1,1,0.1\r\n");
  return s;
}

QString CanFile(const std::vector<TDemoVessel>& vessels) {
  QString s = QStringLiteral(
                  "; Шина CAN демонстрационной установки: виртуальные модули\r\n"
                  "[CANAdapter]\r\nType=Marathon\r\nDeviceNum=0\r\n"
                  "; the board library's in-process bus with the virtual plant behind it\r\n"
                  "[CHAI]\r\nBackend=virtual\r\n"
                  "[CANDevices]\r\nCount=") +
              QString::number(2 * vessels.size()) + QStringLiteral("\r\n");
  int i = 0;
  for (const TDemoVessel& v : vessels) {
    s += QStringLiteral("Name%1=%2\r\nName%3=%4\r\n").arg(i).arg(v.board).arg(i + 1).arg(v.mixer);
    i += 2;
  }
  for (const TDemoVessel& v : vessels) {
    s += QStringLiteral(
             "[%1]\r\nType=TSUABB\r\nCaption=Модуль ввода-вывода %2\r\nDeviceUID=%3\r\n"
             "CANAdr=Ext\r\nActive=OFF\r\nBusRange=255\r\n")
             .arg(v.board)
             .arg(v.number)
             .arg(v.boardUid);
    s += QStringLiteral(
             "[%1]\r\nType=%2\r\nCaption=Привод мешалки %3\r\nDeviceUID=%4\r\nCANAdr=Ext\r\n"
             "Active=OFF\r\nBusRange=255\r\nMaxRpm=1500\r\n")
             .arg(v.mixer, v.mixerType)
             .arg(v.number)
             .arg(v.mixerUid);
  }
  return s;
}

bool WriteFile(const QString& path, const QString& text, QString* error) {
  QSaveFile f(path);
  const QByteArray bytes = text.toUtf8();
  if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit()) {
    if (error != nullptr) *error = path + QStringLiteral(": ") + f.errorString();
    return false;
  }
  return true;
}

}  // namespace

bool PrepareDemoFolder(const QString& folder, QString* error, int vessels) {
  QDir dir(folder);
  if (dir.exists(QStringLiteral("Vorta.ini"))) return true;
  if (!dir.mkpath(QStringLiteral("."))) {
    if (error != nullptr) *error = folder + QStringLiteral(": cannot create the folder");
    return false;
  }
  std::vector<TDemoVessel> list;
  for (int n = 1; n <= std::clamp(vessels, 1, kMaxDemoVessels); ++n) list.push_back(MakeVessel(n));
  QString processes;
  for (const TDemoVessel& v : list) {
    const QString name = QStringLiteral("Process%1.ini").arg(v.number);
    if (!WriteFile(dir.filePath(name), ProcessFile(v), error)) return false;
    processes += name + QStringLiteral("=1\r\n");
  }
  if (!WriteFile(dir.filePath(QStringLiteral("VortaCAN.ini")), CanFile(list), error)) return false;
  // Vorta.ini last: its presence marks a complete demo folder.
  return WriteFile(dir.filePath(QStringLiteral("Vorta.ini")),
                   QStringLiteral("; Демонстрационная установка на виртуальных ферментёрах\r\n"
                                  "[Processes]\r\n") +
                       processes +
                       QStringLiteral("[Podpitka]\r\nFazaPeriod=120\r\nDozeCount=10\r\n"
                                      "[WARMCTRL]\r\nDefWarm=0\r\nIndexWater=7\r\n"
                                      "IndexSteam=11\r\n"),
                   error);
}

void StartDemoVessels(TVortaProcessList& processes) {
  for (const auto& p : processes) {
    ChangeMode(*p, static_cast<int>(TVesselMode::Batch), TJournalSource::StartUp);
    // The panel says so from its first appearance, not after the first tick.
    ShowModeAndClock(*p);
    if (p->Panel) p->Panel->PanelStateChanged();
  }
}

}  // namespace vorta
