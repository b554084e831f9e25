#include "sim/VirtualPlant.h"

#include <cmath>

#include "platform/TimerService.h"

namespace vorta::sim {

namespace {

std::unique_ptr<TSimDevice> MakeDevice(const TDeviceConfig& d) {
  switch (d.Kind) {
    case TDeviceKind::IoModule:
      return std::make_unique<TSimIoModule>(d.Name, d.DeviceUID, d.Ext, d.Active);
    case TDeviceKind::DcDrive:
      return std::make_unique<TSimDcDrive>(d.Name, d.DeviceUID, d.Ext, d.Active);
    case TDeviceKind::Inverter:
      return std::make_unique<TSimInverter>(d.Name, d.DeviceUID, d.Ext, d.Active, d.MaxRpm);
  }
  return nullptr;
}

}  // namespace

TVirtualPlant::TVirtualPlant(const TPlantConfig& config, std::uint32_t seed,
                             const TVesselParams& params) {
  for (const TDeviceConfig& d : config.Devices) {
    auto device = MakeDevice(d);
    device->OnSend = [this](const TCANFrame& f) { Emit(f); };
    device->Clock = [this] { return ClockMs(); };
    devices_.push_back(std::move(device));
  }
  std::uint32_t position = 0;
  for (const TVesselConfig& vc : config.Vessels) {
    auto* board = dynamic_cast<TSimIoModule*>(FindDevice(vc.Board));
    if (!board) {
      continue;
    }
    TVesselParams vp = params;
    if (vc.SteamHeating) {
      vp.Jacket = vp.Steam = true;
    }
    auto v = std::make_unique<TSimVessel>(vc, vp, seed + 7919 * position++);
    v->Board = board;
    v->Mixer = dynamic_cast<TSimDrive*>(FindDevice(vc.Mixer));
    for (int ch = 0; ch < kChannelCount; ++ch) {
      if (!vc.Calibration[ch]) {
        continue;
      }
      const TCalibration& c = *vc.Calibration[ch];
      TCodeScale scale = v->Model.Probe(static_cast<TChannel>(ch)).Scale();
      if (scale.FromCalibration(c.Value1, c.Value2, c.Code1, c.Code2)) {
        v->Model.Probe(static_cast<TChannel>(ch)).SetScale(scale);
      }
    }
    ReadOutputs(*v);
    vessels_.push_back(std::move(v));
  }
}

TVirtualPlant::~TVirtualPlant() {
  Detach();
}

void TVirtualPlant::Emit(const TCANFrame& frame) {
  if (OnFrame) {
    OnFrame(frame);
  }
}

void TVirtualPlant::HandleFrame(const TCANFrame& frame) {
  for (auto& d : devices_) {
    d->HandleFrame(frame);
  }
}

std::int64_t TVirtualPlant::ClockMs() const {
  if (!time_) {
    return nowMs_;
  }
  // Unsigned difference: correct across the tick counter's wrap.
  return nowMs_ + static_cast<std::uint32_t>(time_->GetTickCount() - tickAtStep_);
}

void TVirtualPlant::Attach(TTimerService& time) {
  Detach();
  time_ = &time;
  tickAtStep_ = time.GetTickCount();
  timer_ = time.CreateTimer(kStepMs);
  timer_->OnTimer = [this] { Step(kStepMs); };
  timer_->SetEnabled(true);
}

void TVirtualPlant::Detach() {
  if (timer_) {
    timer_->SetEnabled(false);
  }
  timer_.reset();
  time_ = nullptr;
}

void TVirtualPlant::Step(std::int64_t ms) {
  while (ms > 0) {
    const std::int64_t piece = std::min<std::int64_t>(ms, kStepMs);
    StepOnce(piece);
    ms -= piece;
  }
}

void TVirtualPlant::StepOnce(std::int64_t ms) {
  const std::int64_t from = nowMs_;
  const std::int64_t to = nowMs_ + ms;
  const double dt = static_cast<double>(ms) / 1000.0;
  for (auto& d : devices_) {
    d->Step(dt);
  }
  for (auto& v : vessels_) {
    FeedInputs(*v, from, to);
    v->Model.Step(dt);
  }
  nowMs_ = to;
  if (time_) {
    tickAtStep_ = time_->GetTickCount();
  }
  for (auto& v : vessels_) {
    ReadOutputs(*v);
  }

  sinceLiveMs_ += ms;
  if (sinceLiveMs_ >= kLiveMs) {
    sinceLiveMs_ -= kLiveMs;
    for (auto& d : devices_) {
      if (d->Active()) {
        d->SendLive();
      }
    }
  }
}

void TVirtualPlant::FeedInputs(TSimVessel& v, std::int64_t from, std::int64_t to) {
  TVesselInputs& in = v.Model.Inputs();
  const std::array<double, 16> duty = v.Board->TakeDuty(from, to);
  for (int a = 0; a < kActuatorCount; ++a) {
    const int out = v.Config.Outputs[a];
    in.Duty[a] = out >= 1 && out <= 16 ? duty[out - 1] : 0.0;
  }
  // Speed codes of pumps 1..4: acid, alkali, feed 1, feed 2; 100 is nominal.
  const auto code = [&](int pump) {
    return v.Board->ByteOutput(TSimIoModule::kFirstPumpCode + pump - 1) / 100.0;
  };
  in.Speed[static_cast<int>(TActuator::Acid)] = code(1);
  in.Speed[static_cast<int>(TActuator::Base)] = code(2);
  in.Speed[static_cast<int>(TActuator::Feed1)] = code(3);
  in.Speed[static_cast<int>(TActuator::Feed2)] = code(4);
  in.StirrerRpm = v.Mixer ? std::abs(v.Mixer->MotorRpm()) / v.Config.Reduction : 0.0;
}

void TVirtualPlant::ReadOutputs(TSimVessel& v) {
  for (int ch = 0; ch < kChannelCount; ++ch) {
    v.Board->SetAnalog(ch, v.Model.Code(static_cast<TChannel>(ch)));
  }
  v.Board->SetFoamContact(v.Model.State().FoamContact);
}

TSimVessel* TVirtualPlant::FindVessel(const QString& processFile) {
  for (auto& v : vessels_) {
    if (v->Config.ProcessFile == processFile) {
      return v.get();
    }
  }
  return nullptr;
}

TSimDevice* TVirtualPlant::FindDevice(const QString& name) {
  if (name.isEmpty()) {
    return nullptr;
  }
  for (auto& d : devices_) {
    if (d->Name() == name) {
      return d.get();
    }
  }
  return nullptr;
}

}  // namespace vorta::sim
