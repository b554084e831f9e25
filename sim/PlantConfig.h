#pragma once
// What the virtual plant needs to know about a program folder: the devices
// of "VortaCAN.ini", and for every enabled process file its devices, which
// output drives what, its calibration and its stirrer gear ratio.

#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "sim/VesselModel.h"

namespace vorta::sim {

enum class TDeviceKind { IoModule, DcDrive, Inverter };

struct TDeviceConfig {
  QString Name;
  TDeviceKind Kind = TDeviceKind::IoModule;
  std::uint32_t DeviceUID = 0;
  bool Ext = true;
  bool Active = true;
  int MaxRpm = 3000;  // inverter only
};

// Calibration point pairs of a channel (value at code).
struct TCalibration {
  double Value1 = 0, Value2 = 0;
  double Code1 = 0, Code2 = 0;
};

struct TVesselConfig {
  QString ProcessFile;
  QString Board;  // I/O module device name
  QString Mixer;  // drive device name; empty = none
  // Output number (1..16) of each actuator, 0 = not connected.
  std::array<int, kActuatorCount> Outputs{};
  std::array<std::optional<TCalibration>, kChannelCount> Calibration{};
  double Reduction = 1;
  // The main file chose steam heating: the heater output opens a steam valve
  // on the vessel's jacket.
  bool SteamHeating = false;
};

struct TPlantConfig {
  std::vector<TDeviceConfig> Devices;
  std::vector<TVesselConfig> Vessels;
};

// Reads folder/"VortaCAN.ini", folder/"Vorta.ini" and the process files it
// enables. Missing files or keys give an emptier plant, never an error.
TPlantConfig LoadPlantConfig(const QString& folder);
// One process file; heaterOutput is the main file's water or steam heater.
TVesselConfig LoadVesselConfig(const QString& path, int heaterOutput);

}  // namespace vorta::sim
