#include <gtest/gtest.h>
#include <QFileInfo>

#include "devices/CANDevice.h"
#include "devices/IoModule.h"
#include "devices/MixerDC.h"
#include "devices/MixerInverter.h"
#include "tests/devices/ServiceFixture.h"

namespace vorta {
namespace {

class VortaConfig : public testing::ServiceFixture {};

const QByteArray kOneIoModule =
    "[CANAdapter]\nType=Marathon\n[CANDevices]\nCount=1\nName0=Board1\n"
    "[Board1]\nType=TSUABB\nCaption=Vessel 1\nDeviceUID=0x200\nCANAdr=Std\nActive=OFF\n"
    "BusRange=127\n";

TEST_F(VortaConfig, oneModule_allFieldsTakenAndAdapterOpened) {
  ASSERT_TRUE(Load(kOneIoModule));
  ASSERT_EQ(Module().Bus().Count, 1);
  TCANDevice* d = Device(0);
  EXPECT_NE(dynamic_cast<TIoModule*>(d), nullptr);
  EXPECT_EQ(d->Name, QStringLiteral("Board1"));
  EXPECT_EQ(d->Caption, QStringLiteral("Vessel 1"));
  EXPECT_EQ(d->DeviceUID, 0x200);
  EXPECT_FALSE(d->Ext);
  EXPECT_FALSE(d->Active);
  EXPECT_EQ(d->BusRange, 127);
  EXPECT_EQ(d->LinkTimeout, 10);
  ASSERT_NE(Module().Adapter(), nullptr);
  EXPECT_TRUE(Module().Adapter()->Active());
  EXPECT_TRUE(reports_.isEmpty());
}

TEST_F(VortaConfig, missingEmptyOrUnknownAdapterType_notConfiguredNoAdapter) {
  for (const QByteArray& text :
       {QByteArray(), QByteArray("[CANAdapter]\nType=\n"),
        QByteArray("[CANAdapter]\nType=marathon\n"), QByteArray("[CANAdapter]\nType=qtr4\n"),
        QByteArray("[CANAdapter]\nType=Chai\n"),
        QByteArray("[CANDevices]\nCount=1\nName0=A\n[A]\nType=TSUABB\n")}) {
    EXPECT_FALSE(Load(text)) << text.constData();
    EXPECT_EQ(Module().Adapter(), nullptr);
    EXPECT_EQ(Module().Bus().Count, 0);
    Module().StartTimers();  // does nothing when not configured
    EXPECT_FALSE(Module().ReconnectTimer().Enabled());
  }
}

TEST_F(VortaConfig, missingFile_notConfigured) {
  module_ = std::make_unique<TCANService>(time_, testing::FakeFactory(&adapter_));
  TProfileFile ini(dir_.filePath(QStringLiteral("absent.ini")));
  module_->LoadConfig(ini);
  EXPECT_FALSE(module_->Configured());
}

TEST_F(VortaConfig, adapterTypeKnownButNotBuiltIn_notConfiguredAndReported) {
  module_ = std::make_unique<TCANService>(time_, TAdapterFactory(),
                                          [this](const QString& line) { reports_ << line; });
  TProfileFile ini(WriteIni("[CANAdapter]\nType=QTR4\n"));
  module_->LoadConfig(ini);
  EXPECT_FALSE(module_->Configured());
  EXPECT_EQ(reports_.size(), 1);
}

TEST_F(VortaConfig, sectionAndKeyNamesIgnoreCase_usbGetsDeviceNum) {
  ASSERT_TRUE(
      Load("[canadapter]\ntype=QTR4\nDEVICENUM=2\nPort=/dev/pts/7\n"
           "[candevices]\ncount=1\nNAME0=m\n[M]\ntype=TMixerDC\n"));
  EXPECT_EQ(adapter_->DeviceNum, 2);
  ASSERT_EQ(Module().Bus().Count, 1);
  EXPECT_EQ(Device(0)->Name, QStringLiteral("m"));  // the name as the entry writes it
}

TEST_F(VortaConfig, canAdrAndActive_caseInsensitiveValuesAndDefaults) {
  ASSERT_TRUE(
      Load("[CANAdapter]\nType=Marathon\n[CANDevices]\nCount=5\n"
           "Name0=A\nName1=B\nName2=C\nName3=D\nName4=E\n"
           "[A]\nType=TSUABB\nCANAdr=ext\nActive=on\n"
           "[B]\nType=TSUABB\nCANAdr=Std\nActive=OFF\n"
           "[C]\nType=TSUABB\n"
           "[D]\nType=TSUABB\nCANAdr=11bit\nActive=0\n"
           "[E]\nType=TSUABB\nCANAdr=\nActive=\n"));
  ASSERT_EQ(Module().Bus().Count, 5);
  EXPECT_TRUE(Device(0)->Ext);
  EXPECT_TRUE(Device(0)->Active);
  EXPECT_FALSE(Device(1)->Ext);
  EXPECT_FALSE(Device(1)->Active);
  EXPECT_TRUE(Device(2)->Ext);  // missing keys: extended, not polled
  EXPECT_TRUE(Device(2)->Active);
  EXPECT_FALSE(Device(3)->Ext);
  EXPECT_FALSE(Device(3)->Active);
  EXPECT_FALSE(Device(4)->Ext);  // present but empty is not the default
  EXPECT_FALSE(Device(4)->Active);
}

TEST_F(VortaConfig, deviceTypes_exactClassNamesOnly_othersSkippedAndReported) {
  ASSERT_TRUE(
      Load("[CANAdapter]\nType=QTR4\n[CANDevices]\nCount=5\n"
           "Name0=O\nName1=D\nName2=S\nName3=X\nName4=Y\n"
           "[O]\nType=TMixerOmron\n[D]\nType=TMixerDC\n[S]\nType=TSUABB\n"
           "[X]\nType=tsuabb\n[Y]\nCaption=no type\n"));
  ASSERT_EQ(Module().Bus().Count, 3);
  EXPECT_NE(dynamic_cast<TMixerInverter*>(Device(0)), nullptr);
  EXPECT_NE(dynamic_cast<TMixerDC*>(Device(1)), nullptr);
  EXPECT_NE(dynamic_cast<TIoModule*>(Device(2)), nullptr);
  EXPECT_EQ(reports_.size(), 2);
}

TEST_F(VortaConfig, countZero_configuredWithEmptyBus) {
  ASSERT_TRUE(Load("[CANAdapter]\nType=QTR4\n[CANDevices]\nCount=0\nName0=A\n[A]\nType=TSUABB\n"));
  EXPECT_EQ(Module().Bus().Count, 0);
  ASSERT_TRUE(Load("[CANAdapter]\nType=QTR4\n"));  // no device section at all
  EXPECT_EQ(Module().Bus().Count, 0);
}

TEST_F(VortaConfig, entryMissingInTheMiddle_othersLoadInOrder) {
  ASSERT_TRUE(
      Load("[CANAdapter]\nType=QTR4\n[CANDevices]\nCount=3\nName2=C\nName0=A\n"
           "[A]\nType=TSUABB\n[C]\nType=TMixerDC\n"));
  ASSERT_EQ(Module().Bus().Count, 2);
  EXPECT_EQ(Device(0)->Name, QStringLiteral("A"));
  EXPECT_EQ(Device(1)->Name, QStringLiteral("C"));
}

TEST_F(VortaConfig, entriesAtOrBeyondCount_andLeadingZeroKeys_notRead) {
  ASSERT_TRUE(
      Load("[CANAdapter]\nType=QTR4\n[CANDevices]\nCount=2\nName01=A\nName1=B\nName2=C\n"
           "[A]\nType=TSUABB\n[B]\nType=TSUABB\n[C]\nType=TSUABB\n"));
  ASSERT_EQ(Module().Bus().Count, 1);
  EXPECT_EQ(Device(0)->Name, QStringLiteral("B"));
}

TEST_F(VortaConfig, missingSection_skippedAndReportedOnce) {
  ASSERT_TRUE(
      Load("[CANAdapter]\nType=QTR4\n[CANDevices]\nCount=2\nName0=Gone\nName1=B\n"
           "[B]\nType=TSUABB\n"));
  EXPECT_EQ(Module().Bus().Count, 1);
  ASSERT_EQ(reports_.size(), 1);
  // The operator reads it in a message box, in the interface's language.
  EXPECT_EQ(reports_[0], QStringLiteral("Нет раздела [Gone] устройства CAN: пропущено"));
}

TEST_F(VortaConfig, count1000WithMoreThan21Entries_tableFullRefusalReportedOnce) {
  QByteArray text = "[CANAdapter]\nType=QTR4\n[CANDevices]\nCount=1000\n";
  for (int i = 0; i < 25; ++i)
    text += "Name" + QByteArray::number(i) + "=D" + QByteArray::number(i) + "\n";
  for (int i = 0; i < 25; ++i) text += "[D" + QByteArray::number(i) + "]\nType=TSUABB\n";
  ASSERT_TRUE(Load(text));
  EXPECT_EQ(Module().Bus().Count, 21);
  EXPECT_EQ(Device(20)->Name, QStringLiteral("D20"));
  ASSERT_EQ(reports_.size(), 1);
  EXPECT_TRUE(reports_[0].contains(QStringLiteral("D24")));
  EXPECT_EQ(Module().Bus().FindByName(QStringLiteral("D21")), nullptr);
}

// Numbers that cannot be read take their defaults and are said; an address
// no frame can reach (unreadable, past the identifier space, or with bits
// of its range set) keeps its device off the bus, said in one message.
TEST_F(VortaConfig, hugeOrGarbageNumbers_saidAndImpossibleAddressesRefused) {
  ASSERT_TRUE(
      Load("[CANAdapter]\nType=QTR4\nDeviceNum=abc\n[CANDevices]\nCount=2147483647\n"
           "Name0=A\nName1=B\nName2=C\nName3=D\nName99999999999=E\n"
           "[A]\nType=TMixerOmron\nDeviceUID=12ab\nBusRange=\xff\xfe\n"
           "[B]\nType=TMixerOmron\nDeviceUID=0x300\nMaxRpm=lots\n"
           "[C]\nType=TSUABB\nDeviceUID=0x800\nCANAdr=Std\n"
           "[D]\nType=TSUABB\nDeviceUID=0x410\n"));
  EXPECT_EQ(adapter_->DeviceNum, 0);
  ASSERT_EQ(Module().Bus().Count, 1);
  auto* omron = dynamic_cast<TMixerInverter*>(Device(0));
  ASSERT_NE(omron, nullptr);
  EXPECT_EQ(omron->Name, QStringLiteral("B"));
  EXPECT_EQ(omron->MaxRpm, 3000);
  const QStringList said = reports_.filter(QStringLiteral("DeviceNum=abc"));
  ASSERT_EQ(said.size(), 1) << reports_.join(u'|').toStdString();
  EXPECT_TRUE(said[0].contains(QStringLiteral("VortaCAN.ini")));
  EXPECT_TRUE(said[0].contains(QStringLiteral("MaxRpm=lots")));
  const QStringList refused = reports_.filter(QStringLiteral("DeviceUID=12ab"));
  ASSERT_EQ(refused.size(), 1) << reports_.join(u'|').toStdString();
  for (const char* key : {"[C] DeviceUID=0x800", "[D] DeviceUID=1040"})
    EXPECT_TRUE(refused[0].contains(QLatin1String(key))) << key;
  ASSERT_FALSE(Load("[CANAdapter]\nType=QTR4\x80\n"));
}

TEST_F(VortaConfig, failedOpen_stillConfigured) {
  ASSERT_TRUE(Load(kOneIoModule, /*openSucceeds=*/false));
  EXPECT_FALSE(Module().Adapter()->Active());
  EXPECT_EQ(adapter_->OpenAttempts, 1);
}

TEST_F(VortaConfig, saveConfig_writesNothing) {
  ASSERT_TRUE(Load(kOneIoModule));
  const QString path = dir_.filePath(QStringLiteral("VortaCAN.ini"));
  TProfileFile ini(path);
  Module().SaveConfig(ini);
  EXPECT_FALSE(ini.Modified());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), kOneIoModule);
}

}  // namespace
}  // namespace vorta
