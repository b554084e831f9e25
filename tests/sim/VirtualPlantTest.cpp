// The plant built from a program folder, driven by frames and by time.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <vector>

#include "platform/VirtualTimerService.h"
#include "sim/VirtualPlant.h"

namespace vorta::sim {
namespace {

void WriteFile(const QDir& dir, const QString& name, const char* text) {
  QFile f(dir.filePath(name));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(text);
}

TVesselParams Quiet() {
  TVesselParams p;
  p.ProbeSigma = {0, 0, 0, 0};
  return p;
}

TCANFrame Frame(std::uint32_t id, std::vector<std::uint8_t> data, bool remote = false,
                std::uint8_t len = 0) {
  TCANFrame f;
  f.Id = id;
  f.Flags = kFlagExtended | (remote ? kFlagRemote : 0);
  f.Len = remote ? len : static_cast<std::uint8_t>(data.size());
  for (std::size_t i = 0; i < data.size(); ++i) {
    f.Data[i] = data[i];
  }
  return f;
}

class VirtualPlantTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(tmp.isValid());
    const QDir dir(tmp.path());
    WriteFile(dir, "VortaCAN.ini",
              "[CANAdapter]\nType=QTR4\n"
              "[CANDevices]\nCount=5\nName0=SUABB1\nName1=MIX1\nName2=OMRON2\nName3=Junk\n"
              "Name4=SUABB2\n"
              "[SUABB1]\nType=TSUABB\nDeviceUID=0x1000\nCANAdr=Ext\nActive=ON\n"
              "[MIX1]\nType=TMixerDC\nDeviceUID=4352\nActive=OFF\n"
              "[OMRON2]\nType=TMixerOmron\nDeviceUID=0x300\nCANAdr=Std\nActive=off\nMaxRpm=1500\n"
              "[Junk]\nType=tsuabb\nDeviceUID=0x5000\n"
              "[SUABB2]\nType=TSUABB\nDeviceUID=0x2000\nActive=0\n");
    WriteFile(dir, "Vorta.ini",
              "[Processes]\nVessel1.ini=1\nVessel2.ini=10\nMissing.ini=1\n"
              "[WARMCTRL]\nDefWarm=0\nIndexWater=6\nIndexSteam=7\n");
    // Key names of the parameter and Ctrl sections are free: only order counts.
    // Output numbers are 8-bit, as the controller takes them: 258 is output 2.
    WriteFile(dir, "Vessel1.ini",
              "[Hardware]\nBoard=SUABB1\nMixer=MIX1\n"
              "[AssignName]\n1=pH\n2=Temp\n3=pO2\n4=eH\n"
              "[pH]\na=7.0\nb=0\nc=2\nd=12\ne=4.00\nf=9.00\ng=1000\nh=3000\n"
              "[CtrlpH]\na=30\nb=258\nc=1\nd=1\ne=0\nf=14\ng=0.05\nh=1\ni=1\nj=1,1,1,1\n"
              "[Temp]\na=37\nb=0\nc=1\nd=99\ne=20\nf=40\ng=500\nh=3500\n"
              "[CtrlTemp]\na=30\nb=11\nc=4\nd=1\ne=0\nf=99\ng=0.1\nh=1\ni=1\nj=1,1,1,1\n"
              "[CtrlSpume]\nspumech=3\n[EPP]\neppch=9\n[Med]\nmedch=10\n"
              "[Light]\nLightCh=6\nExistLight=1\n[Mixer]\nReduction=2\n");
    WriteFile(dir, "Vessel2.ini", "[Hardware]\nBoard=SUABB2\n");
  }

  QTemporaryDir tmp;
};

TEST_F(VirtualPlantTest, LoadPlantConfig_readsDevicesEnabledProcessesAndTheOutputMap) {
  const TPlantConfig c = LoadPlantConfig(tmp.path());
  ASSERT_EQ(c.Devices.size(), 4u);  // the lower-case type is no device
  EXPECT_EQ(c.Devices[0].DeviceUID, 0x1000u);
  EXPECT_TRUE(c.Devices[0].Active);
  EXPECT_EQ(c.Devices[1].Kind, TDeviceKind::DcDrive);
  EXPECT_FALSE(c.Devices[1].Active);
  EXPECT_TRUE(c.Devices[1].Ext);  // CANAdr missing: extended
  EXPECT_EQ(c.Devices[2].Kind, TDeviceKind::Inverter);
  EXPECT_FALSE(c.Devices[2].Ext);
  EXPECT_EQ(c.Devices[2].MaxRpm, 1500);

  ASSERT_EQ(c.Vessels.size(), 1u);  // flag 10 and a missing file are skipped
  const TVesselConfig& v = c.Vessels[0];
  EXPECT_EQ(v.ProcessFile, "Vessel1.ini");
  EXPECT_EQ(v.Board, "SUABB1");
  EXPECT_EQ(v.Mixer, "MIX1");
  EXPECT_DOUBLE_EQ(v.Reduction, 2.0);
  const auto out = [&](TActuator a) { return v.Outputs[static_cast<int>(a)]; };
  EXPECT_EQ(out(TActuator::Base), 2);
  EXPECT_EQ(out(TActuator::Acid), 1);
  EXPECT_EQ(out(TActuator::Heater), 6);  // the main file's water heater, not the file's 11
  EXPECT_EQ(out(TActuator::Cooler), 4);
  EXPECT_EQ(out(TActuator::Antifoam), 3);
  EXPECT_EQ(out(TActuator::Feed1), 9);
  EXPECT_EQ(out(TActuator::Feed2), 10);
  EXPECT_EQ(out(TActuator::Light), 0);  // shares the heater's output
  ASSERT_TRUE(v.Calibration[0].has_value());
  EXPECT_DOUBLE_EQ(v.Calibration[0]->Code2, 3000);
  EXPECT_FALSE(v.Calibration[2].has_value());  // no pO2 section
  EXPECT_FALSE(v.SteamHeating);
}

TEST_F(VirtualPlantTest, SteamHeating_takesTheSteamOutputAndHeatsThroughTheJacket) {
  const QDir dir(tmp.path());
  WriteFile(dir, "Vorta.ini",
            "[Processes]\nVessel1.ini=1\n[WARMCTRL]\nDefWarm=1\nIndexWater=6\nIndexSteam=7\n");
  const TPlantConfig c = LoadPlantConfig(tmp.path());
  ASSERT_EQ(c.Vessels.size(), 1u);
  EXPECT_TRUE(c.Vessels[0].SteamHeating);
  EXPECT_EQ(c.Vessels[0].Outputs[static_cast<int>(TActuator::Heater)], 7);
  EXPECT_EQ(c.Vessels[0].Outputs[static_cast<int>(TActuator::Light)], 6);  // free again

  TVirtualPlant plant(c, 1, Quiet());
  plant.HandleFrame(Frame(0x1000 + 50, {0x40, 0x00}));  // output 7: steam valve
  plant.Step(30000);
  EXPECT_GT(plant.Vessel(0).Model.State().Tj, 100.0);
}

TEST_F(VirtualPlantTest, Codes_invertTheProcessCalibration) {
  TVirtualPlant plant(LoadPlantConfig(tmp.path()), 1, Quiet());
  ASSERT_EQ(plant.VesselCount(), 1u);
  TSimVessel& v = plant.Vessel(0);
  EXPECT_EQ(v.Board->Analog(0), 2200);  // pH 7.00 between 4.00 at 1000 and 9.00 at 3000
  EXPECT_EQ(v.Board->Analog(1), 500 + 3000 * 17 / 20);  // 37 °C between 20 and 40
  EXPECT_EQ(v.Board->Analog(2), 2048);                  // pO2 100 % on the default 0..200 %
}

TEST_F(VirtualPlantTest, OutputWordFrame_drivesTheVesselsBasePumpAtItsSpeedCode) {
  TVirtualPlant plant(LoadPlantConfig(tmp.path()), 1, Quiet());
  TVirtualPlant reference(LoadPlantConfig(tmp.path()), 1, Quiet());
  plant.HandleFrame(Frame(0x1000 + 50, {0x02, 0x00}));  // output 2: base
  plant.Step(10000);
  reference.Step(10000);
  const TVesselState& s = plant.Vessel(0).Model.State();
  EXPECT_NEAR(s.BaseDosed(), 10.0 / 60.0, 1e-9);
  EXPECT_GT(s.PH, reference.Vessel(0).Model.State().PH + 0.001);

  plant.HandleFrame(Frame(0x1000 + 32 + 28, {200}));  // pump 2 (alkali) at double speed
  plant.Step(10000);
  EXPECT_NEAR(s.BaseDosed(), 30.0 / 60.0, 1e-9);

  plant.Vessel(0).Model.SetActuatorFailed(TActuator::Base, true);
  plant.Step(10000);
  EXPECT_NEAR(s.BaseDosed(), 30.0 / 60.0, 1e-9);  // commanded, but nothing comes
}

TEST_F(VirtualPlantTest, DcDrive_turnsTheStirrerThroughTheGearReduction) {
  TVirtualPlant plant(LoadPlantConfig(tmp.path()), 1, Quiet());
  plant.HandleFrame(Frame(0x1100 + 4, {0xE8, 0x03}));  // 1000 rpm motor
  plant.HandleFrame(Frame(0x1100 + 2, {0x01, 0x01}));
  plant.Step(15000);
  EXPECT_NEAR(plant.Vessel(0).Model.Inputs().StirrerRpm, 500.0, 1.0);
  EXPECT_NEAR(plant.Vessel(0).Model.KLa(), 123.0, 1.0);
}

TEST_F(VirtualPlantTest, OnVirtualTime_activeDevicesSendEverySecondAndPulsesDoseExactly) {
  TVirtualTimerService time;
  TVirtualPlant plant(LoadPlantConfig(tmp.path()), 1, Quiet());
  std::vector<TCANFrame> sent;
  plant.OnFrame = [&](const TCANFrame& f) { sent.push_back(f); };
  plant.Attach(time);

  time.AdvanceBy(100);
  plant.HandleFrame(Frame(0x1000 + 50, {0x02, 0x00}));  // base on at 100 ms
  time.AdvanceBy(200);
  plant.HandleFrame(Frame(0x1000 + 50, {0x00, 0x00}));  // off at 300 ms
  time.AdvanceBy(2700);
  EXPECT_EQ(plant.ElapsedMs(), 3000);
  EXPECT_NEAR(plant.Vessel(0).Model.State().BaseDosed(), 0.2 / 60.0, 1e-9);

  // SUABB1 is active: three blocks a second; the passive devices stay quiet.
  ASSERT_EQ(sent.size(), 9u);
  for (const TCANFrame& f : sent) {
    EXPECT_GE(std::uint32_t{f.Id}, 0x1000u + 32);
    EXPECT_LE(std::uint32_t{f.Id}, 0x1000u + 48);
    EXPECT_EQ(f.Flags, kFlagExtended);
  }
  plant.Detach();
  time.AdvanceBy(5000);
  EXPECT_EQ(plant.ElapsedMs(), 3000);
}

TEST_F(VirtualPlantTest, Faults_brokenSensorReadsZeroAndSilentBoardAnswersNothing) {
  TVirtualPlant plant(LoadPlantConfig(tmp.path()), 1, Quiet());
  std::vector<TCANFrame> sent;
  plant.OnFrame = [&](const TCANFrame& f) { sent.push_back(f); };
  plant.Vessel(0).Model.Probe(TChannel::Temperature).SetFault(TProbeFault::Broken);
  plant.Step(500);
  sent.clear();
  plant.HandleFrame(Frame(0x1000 + 32, {}, true, 8));
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].Data[0] | (sent[0].Data[1] << 8), 2200);  // pH still there
  EXPECT_EQ(sent[0].Data[2] | (sent[0].Data[3] << 8), 0);     // t°C broken

  plant.FindDevice("SUABB1")->SetSilent(true);
  sent.clear();
  plant.HandleFrame(Frame(0x1000 + 32, {}, true, 8));
  plant.Step(3000);
  EXPECT_TRUE(sent.empty());
}

TEST_F(VirtualPlantTest, SameSeed_givesTheSameFramesAtTheSameTimes) {
  const auto run = [&](std::uint32_t seed) {
    TVirtualPlant plant(LoadPlantConfig(tmp.path()), seed);
    std::vector<std::uint16_t> codes;
    plant.OnFrame = [&](const TCANFrame& f) {
      for (int i = 0; i + 1 < f.Len; i += 2) {
        codes.push_back(f.Data[i] | (f.Data[i + 1] << 8));
      }
    };
    plant.HandleFrame(Frame(0x1100 + 4, {0xE8, 0x03}));
    plant.HandleFrame(Frame(0x1100 + 2, {0x01, 0x01}));
    plant.Step(120000);
    return codes;
  };
  const auto a = run(5);
  EXPECT_EQ(a.size(), 120u * 10);  // inputs 0..7 and the 48 block, each second
  EXPECT_EQ(a, run(5));
  EXPECT_NE(a, run(6));
}

}  // namespace
}  // namespace vorta::sim
