#include "sim/SimIoModule.h"

#include <algorithm>

namespace vorta::sim {

TSimIoModule::TSimIoModule(QString name, std::uint32_t deviceUid, bool ext, bool active)
    : TSimDevice(std::move(name), deviceUid, ext, active) {
  // Power-on defaults of the module: full pump power, nominal pump speeds,
  // so that a plant runs sensibly before the controller writes its own.
  SetByte(kByteOutputBase + kPumpPower, 200);
  for (int k = kFirstPumpCode; k < kFirstPumpCode + 4; ++k) {
    SetByte(kByteOutputBase + k, 100);
  }
}

void TSimIoModule::SetAnalog(int i, std::uint16_t code) {
  if (i >= 0 && i < 8) {
    SetWord(kAnalogBase / 2 + i, code);
  }
}

void TSimIoModule::SetFoamContact(bool closed) {
  SetByte(kFoamByte, static_cast<std::uint8_t>((Byte(kFoamByte) & ~1) | (closed ? 1 : 0)));
}

std::vector<std::pair<int, int>> TSimIoModule::LiveBlocks() const {
  return {{32, 8}, {40, 8}, {48, 4}};
}

void TSimIoModule::OnWrite(int offset, const std::uint8_t* /*data*/, int len) {
  // The output word lives at 50..51; a write touching either byte switches.
  if (offset > kOutputWord + 1 || offset + len <= kOutputWord) {
    return;
  }
  Accumulate(NowMs());
  outputs_ = Word(kOutputWord / 2);
}

void TSimIoModule::Accumulate(std::int64_t now) {
  now = std::max(now, markMs_);
  for (int b = 0; b < 16; ++b) {
    if ((outputs_ >> b) & 1) {
      onMs_[b] += now - markMs_;
    }
  }
  markMs_ = now;
}

std::array<double, 16> TSimIoModule::TakeDuty(std::int64_t from, std::int64_t to) {
  markMs_ = std::max(markMs_, from);
  Accumulate(to);
  std::array<double, 16> duty{};
  const auto span = static_cast<double>(to - from);
  for (int b = 0; b < 16; ++b) {
    duty[b] = span > 0 ? std::clamp(static_cast<double>(onMs_[b]) / span, 0.0, 1.0)
                       : ((outputs_ >> b) & 1);
    onMs_[b] = 0;
  }
  markMs_ = to;
  return duty;
}

}  // namespace vorta::sim
