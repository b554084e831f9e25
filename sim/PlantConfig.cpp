#include "sim/PlantConfig.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/Numbers.h"
#include "platform/ProfileFile.h"

namespace vorta::sim {

namespace {

// The value of the n-th key (1-based) of a section whose keys count by
// position, not by name.
QString ValueAt(const TProfileFile& ini, const QString& section, const QStringList& keys, int n) {
  if (n < 1 || n > keys.size()) {
    return {};
  }
  return ini.ReadString(section, keys.at(n - 1), QString());
}

void SetOutput(TVesselConfig& v, TActuator a, int number) {
  // The controller addresses outputs by an 8-bit number: the plant wires them alike.
  const int output = static_cast<std::uint8_t>(number);
  if (output >= 1 && output <= 16) {
    v.Outputs[static_cast<int>(a)] = output;
  }
}

// The index i of a key "Name<i>" as written by a loop over the count: decimal
// without leading zeros (key names ignore letter case).
std::optional<int> EntryIndex(const QString& key) {
  const QString prefix = QStringLiteral("Name");
  if (!key.startsWith(prefix, Qt::CaseInsensitive)) {
    return std::nullopt;
  }
  const QString digits = key.mid(prefix.size());
  if (digits.isEmpty() || (digits.size() > 1 && digits.front() == u'0')) {
    return std::nullopt;
  }
  for (const QChar c : digits) {
    if (c < u'0' || c > u'9') {
      return std::nullopt;
    }
  }
  bool ok = false;
  const int value = digits.toInt(&ok);
  return ok ? std::optional<int>(value) : std::nullopt;
}

std::optional<TDeviceConfig> ReadDevice(const TProfileFile& ini, const QString& section) {
  const QString type = ini.ReadString(section, QStringLiteral("Type"), QString());
  TDeviceConfig d;
  if (type == QLatin1String("TSUABB")) {
    d.Kind = TDeviceKind::IoModule;
  } else if (type == QLatin1String("TMixerDC")) {
    d.Kind = TDeviceKind::DcDrive;
  } else if (type == QLatin1String("TMixerOmron")) {
    d.Kind = TDeviceKind::Inverter;
  } else {
    return std::nullopt;
  }
  d.Name = section;
  d.DeviceUID =
      static_cast<std::uint32_t>(ini.ReadInteger(section, QStringLiteral("DeviceUID"), 0));
  d.Ext = ini.ReadString(section, QStringLiteral("CANAdr"), QStringLiteral("Ext")).toUpper() ==
          QLatin1String("EXT");
  d.Active = ini.ReadString(section, QStringLiteral("Active"), QStringLiteral("ON")).toUpper() ==
             QLatin1String("ON");
  const int maxRpm = ini.ReadInteger(section, QStringLiteral("MaxRpm"), 3000);
  d.MaxRpm = (maxRpm >= 1 && maxRpm <= 5000) ? maxRpm : 3000;
  return d;
}

}  // namespace

TVesselConfig LoadVesselConfig(const QString& path, int heaterOutput) {
  TVesselConfig v;
  v.ProcessFile = QFileInfo(path).fileName();
  const TProfileFile ini(path);
  if (!ini.Loaded()) {
    return v;
  }

  v.Board = ini.ReadString(QStringLiteral("Hardware"), QStringLiteral("Board"), QString());
  v.Mixer = ini.ReadString(QStringLiteral("Hardware"), QStringLiteral("Mixer"), QString());
  v.Reduction = ini.ReadFloat(QStringLiteral("Mixer"), QStringLiteral("Reduction"), 1.0);
  if (v.Reduction <= 0) {
    v.Reduction = 1.0;
  }

  if (ini.ReadString(QStringLiteral("Light"), QStringLiteral("ExistLight"), QStringLiteral("0")) ==
      QLatin1String("1")) {
    SetOutput(v, TActuator::Light,
              ini.ReadInteger(QStringLiteral("Light"), QStringLiteral("LightCh"), 8));
  }

  for (int ch = 0; ch < kChannelCount; ++ch) {
    const QString section = ini.ReadString(QStringLiteral("AssignName"), QString::number(ch + 1),
                                           QStringLiteral("0.0"));
    const QStringList keys = ini.ReadSection(section);
    if (keys.size() >= 8) {
      const auto real = [&](int n) { return ParseRealDef(ValueAt(ini, section, keys, n), 0.0); };
      v.Calibration[ch] = TCalibration{real(5), real(6), real(7), real(8)};
    }
    const QString ctrl = QStringLiteral("Ctrl") + section;
    const QStringList ctrlKeys = ini.ReadSection(ctrl);
    const int up = ParseIntDef(ValueAt(ini, ctrl, ctrlKeys, 2), 0);
    const int down = ParseIntDef(ValueAt(ini, ctrl, ctrlKeys, 3), 0);
    if (ch == static_cast<int>(TChannel::pH)) {
      SetOutput(v, TActuator::Base, up);
      SetOutput(v, TActuator::Acid, down);
    } else if (ch == static_cast<int>(TChannel::Temperature)) {
      // The controller replaces the file's heating output by the main file's.
      SetOutput(v, TActuator::Heater, heaterOutput);
      SetOutput(v, TActuator::Cooler, down);
    }
  }

  const auto integer = [&](const char* section, const char* key) {
    return ParseIntDef(ini.ReadString(QLatin1String(section), QLatin1String(key), QString()), 0);
  };
  SetOutput(v, TActuator::Antifoam, integer("CtrlSpume", "spumech"));
  SetOutput(v, TActuator::Feed1, integer("EPP", "eppch"));
  SetOutput(v, TActuator::Feed2, integer("Med", "medch"));
  // The light does nothing to the broth: an output it shares belongs to the
  // actuator that does.
  int& light = v.Outputs[static_cast<int>(TActuator::Light)];
  for (int a = 0; a < kActuatorCount; ++a) {
    if (a != static_cast<int>(TActuator::Light) && v.Outputs[a] == light) {
      light = 0;
    }
  }
  return v;
}

TPlantConfig LoadPlantConfig(const QString& folder) {
  TPlantConfig plant;
  const QDir dir(folder);

  const TProfileFile can(dir.filePath(QStringLiteral("VortaCAN.ini")));
  const int count = can.ReadInteger(QStringLiteral("CANDevices"), QStringLiteral("Count"), 0);
  // The entries Name0..Name<Count-1> that the file holds, in index order: a
  // huge Count costs nothing.
  std::vector<int> indices;
  for (const QString& key : can.ReadSection(QStringLiteral("CANDevices"))) {
    if (const auto index = EntryIndex(key); index && *index < count) {
      indices.push_back(*index);
    }
  }
  std::sort(indices.begin(), indices.end());
  indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
  for (const int i : indices) {
    const QString section = can.ReadString(QStringLiteral("CANDevices"),
                                           QStringLiteral("Name") + QString::number(i), QString());
    if (section.isEmpty()) {
      continue;
    }
    if (auto d = ReadDevice(can, section)) {
      plant.Devices.push_back(*d);
    }
  }

  const TProfileFile main(dir.filePath(QStringLiteral("Vorta.ini")));
  const bool steam =
      main.ReadInteger(QStringLiteral("WARMCTRL"), QStringLiteral("DefWarm"), 0) != 0;
  const int heater =
      steam ? main.ReadInteger(QStringLiteral("WARMCTRL"), QStringLiteral("IndexSteam"), 7)
            : main.ReadInteger(QStringLiteral("WARMCTRL"), QStringLiteral("IndexWater"), 8);
  for (const QString& key : main.ReadSection(QStringLiteral("Processes"))) {
    const QString flag = main.ReadString(QStringLiteral("Processes"), key, QString());
    if (!flag.endsWith(QLatin1Char('1'))) {
      continue;
    }
    const QString path = dir.filePath(key);
    if (!QFileInfo::exists(path)) {
      continue;
    }
    plant.Vessels.push_back(LoadVesselConfig(path, heater));
    plant.Vessels.back().SteamHeating = steam;
  }
  return plant;
}

}  // namespace vorta::sim
