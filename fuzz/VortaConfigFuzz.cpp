// Arbitrary "VortaCAN.ini" bytes through the profile reader and the loader,
// then a few frames and heartbeats over whatever table it built.

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "can/AdapterFactory.h"
#include "devices/CANService.h"
#include "platform/ProfileFile.h"
#include "platform/VirtualTimerService.h"

namespace {

using namespace vorta;

class TQuietAdapter final : public TCANAdapter {
 public:
  void Send(TCANFrame& frame) override { TCANAdapter::Send(frame); }
};

TAdapterFactory QuietFactory() {
  TAdapterFactory factory;
  auto creator = [](const TAdapterConfig&) { return std::make_unique<TQuietAdapter>(); };
  factory.Register(TAdapterFactory::kChaiType, creator);
  factory.Register(TAdapterFactory::kUsbType, creator);
  return factory;
}

// The file is rewritten every run: on a disk file system truncating it
// flushes what the last run wrote, which made the target more than ten times
// slower, so the folder is in memory where there is one.
QString ScratchTemplate() {
  const QFileInfo shm(QStringLiteral("/dev/shm"));
  if (shm.isDir() && shm.isWritable()) return QStringLiteral("/dev/shm/vorta-fuzz-XXXXXX");
  return {};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static QTemporaryDir dir(ScratchTemplate());
  const QString path = dir.filePath(QStringLiteral("VortaCAN.ini"));
  {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
    file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
  }
  TVirtualTimerService time;
  TCANService module(time, QuietFactory(), [](const QString& line) { (void)line.size(); });
  TProfileFile ini(path);
  module.LoadConfig(ini);
  if (module.Configured() && module.Adapter() != nullptr) {
    module.Adapter()->SetOnReceive([&module](TCANFrame& frame) { module.HandleFrame(frame); });
    module.StartTimers();
    // Frames at the first bytes of the input as identifiers: cheap coverage
    // of whatever bases and ranges the file gave the devices.
    for (std::size_t k = 0; k + 4 <= size && k < 64; k += 4) {
      TCANFrame frame;
      frame.Id = static_cast<std::uint32_t>(data[k]) << 24 | data[k + 1] << 16 | data[k + 2] << 8 |
                 data[k + 3];
      frame.Len = 8;
      module.Adapter()->Receive(frame);
    }
    time.AdvanceBy(1100);  // one heartbeat and its pacer ticks
  }
  module.SaveConfig(ini);
  return 0;
}
