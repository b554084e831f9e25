#pragma once
// The virtual plant: every device of a program folder seen from the hardware
// side, and one vessel model behind each I/O module that a process uses.
//
// Use:
//   TVirtualPlant plant(LoadPlantConfig(folder));
//   plant.OnFrame = [&](const TCANFrame& f) { /* device -> controller */ };
//   plant.Attach(timerService);           // or call plant.Step(ms) yourself
//   plant.HandleFrame(frameFromController);
//
// Frames: a remote request at DeviceUID + offset is answered at once (OnFrame
// is called from inside HandleFrame) with a data frame of the asked length
// from the device's image at that offset; a data frame is a write. Active
// devices also send their live registers every second of plant time.
// Everything runs on the caller's thread; the plant never blocks or sleeps.
//
// Faults for tests and demonstrations:
//   plant.FindDevice("SUABB1")->SetSilent(true);                 // off the bus
//   plant.Vessel(0).Model.Probe(TChannel::pH).SetFault(TProbeFault::Broken);
//   plant.Vessel(0).Model.SetActuatorFailed(TActuator::Base, true);  // pumps nothing

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "can/CANAdapter.h"
#include "sim/PlantConfig.h"
#include "sim/SimDrives.h"
#include "sim/SimIoModule.h"
#include "sim/VesselModel.h"

namespace vorta {
class TTimer;
class TTimerService;
}  // namespace vorta

namespace vorta::sim {

// A vessel and the devices that serve it.
struct TSimVessel {
  TVesselConfig Config;
  TVesselModel Model;
  TSimIoModule* Board = nullptr;  // owned by the plant
  TSimDrive* Mixer = nullptr;     // owned by the plant; may be null

  TSimVessel(TVesselConfig config, const TVesselParams& params, std::uint32_t seed)
      : Config(std::move(config)), Model(params, seed) {}
};

class TVirtualPlant {
 public:
  static constexpr int kStepMs = 500;
  static constexpr int kLiveMs = 1000;

  // Vessels whose board is not among the devices are left out. Each vessel's
  // noise is seeded from seed and its position, so a run repeats exactly.
  explicit TVirtualPlant(const TPlantConfig& config, std::uint32_t seed = 20240601,
                         const TVesselParams& params = {});
  ~TVirtualPlant();
  TVirtualPlant(const TVirtualPlant&) = delete;
  TVirtualPlant& operator=(const TVirtualPlant&) = delete;

  // A frame from the controller onto the bus; every device it addresses
  // takes it.
  void HandleFrame(const TCANFrame& frame);
  // Frames from the devices to the controller.
  std::function<void(const TCANFrame&)> OnFrame;

  // Advances plant time by ms in model steps of at most kStepMs.
  void Step(std::int64_t ms);
  // Steps on a timer of the service every kStepMs, and times output
  // switching by the service's clock (a dosing pulse shorter than a step
  // delivers its exact dose). Detach() or destruction stops it.
  void Attach(TTimerService& time);
  void Detach();
  [[nodiscard]] std::int64_t ElapsedMs() const { return nowMs_; }

  [[nodiscard]] std::size_t VesselCount() const { return vessels_.size(); }
  [[nodiscard]] TSimVessel& Vessel(std::size_t i) { return *vessels_.at(i); }
  // By process file name (as listed in "Vorta.ini"), or null.
  [[nodiscard]] TSimVessel* FindVessel(const QString& processFile);

  [[nodiscard]] std::size_t DeviceCount() const { return devices_.size(); }
  [[nodiscard]] TSimDevice& Device(std::size_t i) { return *devices_.at(i); }
  [[nodiscard]] TSimDevice* FindDevice(const QString& name);

 private:
  void StepOnce(std::int64_t ms);
  void FeedInputs(TSimVessel& v, std::int64_t from, std::int64_t to);
  void ReadOutputs(TSimVessel& v);
  [[nodiscard]] std::int64_t ClockMs() const;
  void Emit(const TCANFrame& frame);

  std::vector<std::unique_ptr<TSimDevice>> devices_;
  std::vector<std::unique_ptr<TSimVessel>> vessels_;
  std::int64_t nowMs_ = 0;
  std::int64_t sinceLiveMs_ = 0;
  TTimerService* time_ = nullptr;
  std::unique_ptr<TTimer> timer_;
  std::uint32_t tickAtStep_ = 0;
};

}  // namespace vorta::sim
