// docs/configuration.md against the program: every key the program reads is
// in the reference, every documented key is read (or, if so marked, only
// written) by something, and the "Written back" column tells the truth.
// The keys come from the profile file's access hook while the real loaders,
// windows, write-backs and shutdown run over the demo folder, and the CAN
// loader over a configuration of each adapter type.

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <set>
#include <vector>

#include "DemoRunFixture.h"
#include "can/AdapterFactory.h"
#include "devices/CANService.h"
#include "platform/Language.h"
#include "platform/ProfileFile.h"
#include "process/ConfigWriteBack.h"
#include "process/ProcessRecord.h"
#include "telemetry/MqttSettings.h"
#include "windows/panel/QtWindowFactory.h"

using namespace vorta;

namespace {

struct TAccess {
  QString path, section, key;
  bool write = false;
};
std::vector<TAccess> gAccesses;

void Record(const QString& path, const QString& section, const QString& key, bool write) {
  gAccesses.push_back({path, section, key, write});
}

// One row of a key table: the file ("Vorta.ini", "VortaCAN.ini" or "process
// file"), the section and key as written (with <placeholders>), and whether
// the program writes it and whether it only writes it.
struct TDocKey {
  QString file, section, key;
  bool written = false, writeOnly = false;
  int line = 0;
  bool read = false, seenWritten = false;
};

std::vector<TDocKey> ParseReference(const QString& path) {
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
  const QStringList lines = QString::fromUtf8(f.readAll()).split(u'\n');
  static const QRegularExpression backticked(QStringLiteral("`([^`]+)`"));
  std::vector<TDocKey> keys;
  QString file, section;
  int writtenColumn = -1;
  for (int i = 0; i < lines.size(); ++i) {
    const QString line = lines[i].trimmed();
    if (line.startsWith(QLatin1String("## "))) {
      const auto m = backticked.match(line);
      file = m.hasMatch() && m.captured(1).endsWith(QLatin1String(".ini")) ? m.captured(1)
             : line.contains(QLatin1String("process file"), Qt::CaseInsensitive)
                 ? QStringLiteral("process file")
                 : QString();
      section.clear();
    } else if (line.startsWith(QLatin1String("### "))) {
      const auto m = backticked.match(line);
      section = m.hasMatch() && m.captured(1).startsWith(u'[') ? m.captured(1).mid(1).chopped(1)
                                                               : QString();
    } else if (line.startsWith(u'|') && !file.isEmpty() && !section.isEmpty()) {
      const QStringList cells = line.mid(1).chopped(1).split(u'|');
      if (cells.front().trimmed() == QLatin1String("Key")) {
        writtenColumn = -1;
        for (int c = 0; c < cells.size(); ++c) {
          if (cells[c].trimmed() == QLatin1String("Written back")) writtenColumn = c;
        }
      }
      if (!cells.front().trimmed().startsWith(u'`')) continue;
      TDocKey k{file, section, backticked.match(cells.front()).captured(1)};
      k.line = i + 1;
      if (writtenColumn >= 0 && writtenColumn < cells.size()) {
        const QString w = cells[writtenColumn].trimmed();
        k.written = !w.isEmpty() && w != u"\u2014" && w != QLatin1String("no");
        k.writeOnly = w.startsWith(QLatin1String("only"), Qt::CaseInsensitive);
      }
      keys.push_back(k);
    }
  }
  return keys;
}

// "<n>" stands for a number, any other <placeholder> for any text.
bool KeyMatches(const QString& pattern, const QString& key) {
  QString rx;
  static const QRegularExpression part(QStringLiteral("<[^>]+>|[^<]+"));
  for (auto it = part.globalMatch(pattern); it.hasNext();) {
    const QString p = it.next().captured();
    rx += p == QLatin1String("<n>") ? QStringLiteral("[0-9]+")
          : p.startsWith(u'<')      ? QStringLiteral(".+")
                                    : QRegularExpression::escape(p);
  }
  return QRegularExpression(QRegularExpression::anchoredPattern(rx),
                            QRegularExpression::CaseInsensitiveOption)
      .match(key)
      .hasMatch();
}

QString FileKind(const QString& path) {
  const QString name = QFileInfo(path).fileName();
  if (name == QLatin1String("Vorta.ini") || name == QLatin1String("VortaCAN.ini")) return name;
  return QStringLiteral("process file");
}

// Sections named by the file itself: a channel's two sections are named by
// [AssignName] 1..4 and keyed by position; a device's by [CANDevices] Name<n>.
struct TNamedSections {
  QStringList channels, devices;
};

TNamedSections NamedSections(const QString& path) {
  const TProfileFile f(path);
  TNamedSections s;
  for (int n = 1; n <= 4; ++n) {
    s.channels << f.ReadString(QStringLiteral("AssignName"), QString::number(n), QString());
  }
  for (const QString& key : f.ReadSection(QStringLiteral("CANDevices"))) {
    if (key.startsWith(QLatin1String("Name"), Qt::CaseInsensitive)) {
      s.devices << f.ReadString(QStringLiteral("CANDevices"), key, QString());
    }
  }
  return s;
}

bool Same(const QString& a, const QString& b) {
  return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The documented entries an access matches: exact section names first, then
// the sections the file names.
std::vector<TDocKey*> Match(std::vector<TDocKey>& doc, const TAccess& a) {
  const QString kind = FileKind(a.path);
  const TNamedSections named = NamedSections(a.path);
  const auto sectionMatches = [&](const QString& pattern, bool exact) {
    if (exact) return !pattern.contains(u'<') && Same(pattern, a.section);
    if (pattern == QLatin1String("<device>")) {
      return std::any_of(named.devices.begin(), named.devices.end(),
                         [&](const QString& d) { return Same(d, a.section); });
    }
    const QString prefix = pattern.section(u'<', 0, 0);
    return pattern.endsWith(QLatin1String("<channel>")) &&
           std::any_of(named.channels.begin(), named.channels.end(),
                       [&](const QString& c) { return Same(prefix + c, a.section); });
  };
  for (bool exact : {true, false}) {
    std::vector<TDocKey*> found;
    for (TDocKey& k : doc) {
      if (k.file != kind || !sectionMatches(k.section, exact)) continue;
      QString key = a.key;
      if (k.section.contains(QLatin1String("<channel>"))) {
        // Keyed by position: the n-th key of the section is "#n".
        const QStringList keys = TProfileFile(a.path).ReadSection(a.section);
        for (int i = 0; i < keys.size(); ++i) {
          if (Same(keys[i], a.key)) key = QStringLiteral("#%1").arg(i + 1);
        }
      }
      if (KeyMatches(k.key, key)) found.push_back(&k);
    }
    if (!found.empty()) return found;
  }
  return {};
}

class ConfigurationDocTest : public test::TDemoRunFixture<TQtWindowFactory, false> {
 protected:
  void SetUp() override {
    gAccesses.clear();
    TProfileFile::SetAccessHook(&Record);
    TDemoRunFixture::SetUp();
  }
  void TearDown() override {
    TDemoRunFixture::TearDown();
    TProfileFile::SetAccessHook(nullptr);
  }
};

TEST_F(ConfigurationDocTest, referenceListsExactlyTheKeysTheProgramReadsAndWrites) {
  // Every group the dialogs write back, then an orderly end from outside,
  // which also writes each vessel's kept mode.
  TVortaProcess& p = *form->Processes().ProcessAt(0);
  for (TWriteBackGroup group :
       {TWriteBackGroup::Setpoints, TWriteBackGroup::MixerCode, TWriteBackGroup::LinearAdjustment,
        TWriteBackGroup::Calibration, TWriteBackGroup::Mode, TWriteBackGroup::ControlParameters}) {
    p.SaveRequest.Add(group);
    SaveRequestedGroup(p);
  }
  time.AdvanceBy(2 * 60'000);
  form->Program().KeepModesAtEnd = true;
  form->Shutdown();

  // The USB converter's keys: the CAN loader over a configuration that selects it.
  test::TProgramFolder usb;
  usb.Write(QStringLiteral("VortaCAN.ini"),
            "[CANAdapter]\r\nType=QTR4\r\nDeviceNum=0\r\nPort=/nonexistent/tty\r\n"
            "[CANDevices]\r\nCount=0\r\n");
  {
    TCANService usbDm(time, factory);
    TProfileFile ini(usb.File(QStringLiteral("VortaCAN.ini")));
    usbDm.LoadConfig(ini);
    EXPECT_TRUE(usbDm.Configured());
  }
  // The language the program starts in, read as main() reads it.
  (void)ConfiguredLanguage(TProfileFile(folder.File(QStringLiteral("Vorta.ini"))));
  // The publisher's keys: an [MQTT] section that turns it on.
  test::TProgramFolder mqtt;
  mqtt.Write(QStringLiteral("Vorta.ini"), "[MQTT]\r\nHost=broker\r\n");
  {
    QStringList problems;
    ReadMqttSettings(TProfileFile(mqtt.File(QStringLiteral("Vorta.ini"))), mqtt.Path(), &problems);
  }
  TProfileFile::SetAccessHook(nullptr);

  std::vector<TDocKey> doc = ParseReference(QStringLiteral(VORTA_CONFIG_DOC));
  ASSERT_GT(doc.size(), 100U) << "the reference's key tables were not found";

  std::set<QString> undocumented;
  for (const TAccess& a : gAccesses) {
    const std::vector<TDocKey*> found = Match(doc, a);
    const QString where = QStringLiteral("%1 [%2] %3").arg(FileKind(a.path), a.section, a.key);
    if (found.empty()) {
      undocumented.insert((a.write ? QStringLiteral("written: ") : QStringLiteral("read: ")) +
                          where);
    }
    for (TDocKey* k : found) {
      if (!a.write) k->read = true;
      if (a.write) k->seenWritten = true;
      if (a.write && !k->written) {
        undocumented.insert(QStringLiteral("written, documented as not: ") + where);
      }
    }
  }
  for (const QString& u : undocumented) ADD_FAILURE() << u.toStdString();

  for (const TDocKey& k : doc) {
    const std::string where = QStringLiteral("line %1: %2 [%3] %4")
                                  .arg(k.line)
                                  .arg(k.file, k.section, k.key)
                                  .toStdString();
    EXPECT_TRUE(k.read || k.writeOnly) << "documented, read by nothing: " << where;
    EXPECT_FALSE(k.read && k.writeOnly) << "documented as only written, but read: " << where;
    EXPECT_TRUE(!k.written || k.seenWritten) << "documented as written, never written: " << where;
  }
}

}  // namespace
