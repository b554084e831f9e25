#pragma once
// A process with its real panel and a DC drive (Mix1, identifier 0x400) on
// the fake adapter; frames the drive sends are recorded with their virtual
// time as they leave the drive.

#include <QDir>
#include <vector>

#include "devices/CANMixer.h"
#include "tests/windows/panel/PanelFixture.h"

namespace vorta::testing {

inline constexpr std::uint32_t kMixUid = 0x400;

struct TSentFrame {
  std::int64_t AtMs;
  TCANFrame Frame;
  [[nodiscard]] std::uint16_t Word() const {
    return static_cast<std::uint16_t>(Frame.Data[0] | (Frame.Data[1] << 8));
  }
};

class MixerFixture : public PanelFixture {
 protected:
  TVortaProcess& AddMixerProcess(int num, const QByteArray& extra = {},
                                 const QByteArray& mixer = "Mix1") {
    QByteArray text = PanelProcessIni(num, extra);
    text.replace("Mixer=\r\n", "Mixer=" + mixer + "\r\n");
    const QString name = QStringLiteral("proc%1.ini").arg(num);
    WriteFile(name, text);
    list_.Add(std::make_unique<TVortaProcess>(env_, name));
    TVortaProcess& p = *list_.ProcessAt(list_.Count() - 1);
    if (p.Mixer != nullptr) Record(*p.Mixer);
    return p;
  }

  void Record(TCANDevice& device) {
    auto previous = device.OnSend;
    device.SetOnSend([this, previous](TCANFrame& f) {
      Sent.push_back({time_.ElapsedMs(), f});
      if (previous) previous(f);
    });
  }

  // Registers of the drive's image as its answer (two bytes per register).
  void InjectRegisters(int first, std::vector<std::uint16_t> words) {
    std::vector<std::uint8_t> data;
    for (std::uint16_t w : words) {
      data.push_back(static_cast<std::uint8_t>(w & 0xFF));
      data.push_back(static_cast<std::uint8_t>(w >> 8));
    }
    adapter_->Inject(
        MakeFrame(kMixUid + 2U * static_cast<std::uint32_t>(first), data, kFlagExtended));
  }

  // Data frames sent to one identifier.
  std::vector<TSentFrame> SentTo(std::uint32_t id) const {
    std::vector<TSentFrame> out;
    for (const TSentFrame& s : Sent) {
      if (s.Frame.Id == id && (s.Frame.Flags & kFlagRemote) == 0) out.push_back(s);
    }
    return out;
  }

  std::vector<TSentFrame> Sent;
};

}  // namespace vorta::testing
