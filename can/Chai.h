#pragma once
// Stand-in for the CAN board library: the Ci* calls the board adapter relies
// on, over two backends:
//  - the in-process virtual bus (the virtual plant plugs in through
//    ChaiSetVirtualBus), used by the demo and fast-forward runs;
//  - SocketCAN on a named interface (default "can0").
// The backend is chosen by ChaiConfigure from the "CHAI" section of the CAN
// configuration ("Backend=virtual" or "Backend=socketcan", "Interface=can0");
// the default is SocketCAN. A kernel without SocketCAN fails CiOpen cleanly.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

namespace vorta {

class TProfileFile;

#pragma pack(push, 1)
struct canmsg_t {
  std::uint32_t id = 0;
  std::uint8_t data[8] = {};
  std::uint8_t len = 0;
  std::uint16_t flags = 0;
  std::uint32_t ts = 0;  // not used by the program
};
#pragma pack(pop)
static_assert(sizeof(canmsg_t) == 19, "the board library's message record is 19 bytes");

inline constexpr std::uint16_t kChaiFlagEff = 0x0004;
inline constexpr std::uint16_t kChaiFlagRtr = 0x0001;
// Results other than 0 (and CiRead's count).
inline constexpr std::int16_t kChaiErrNoDevice = -2;
inline constexpr std::int16_t kChaiErrBusy = -3;
inline constexpr std::int16_t kChaiErrState = -4;
inline constexpr std::int16_t kChaiErrArg = -5;

using TChaiCallback = void (*)(std::int16_t);

std::int16_t CiInit();
std::int16_t CiOpen(std::uint8_t chan, std::uint8_t flags);
std::int16_t CiSetBaud(std::uint8_t chan, std::uint8_t bt0, std::uint8_t bt1);
std::int16_t CiSetCB(std::uint8_t chan, std::uint8_t event, TChaiCallback callback);
std::int16_t CiStart(std::uint8_t chan);
std::int16_t CiStop(std::uint8_t chan);
std::int16_t CiClose(std::uint8_t chan);
std::int16_t CiRead(std::uint8_t chan, canmsg_t* msg, std::int16_t count);
std::int16_t CiWrite(std::uint8_t chan, canmsg_t* msg, std::int16_t count);
void msg_seteff(canmsg_t* msg);
void msg_setrtr(canmsg_t* msg);

// The in-process bus of the virtual plant. Transmit takes every message the
// program writes; the plant answers through ChaiDeliver.
struct TChaiVirtualBus {
  std::function<void(const canmsg_t&)> Transmit;
};

enum class TChaiBackend { SocketCan, Virtual };

// Reads the "CHAI" section. Takes effect at the next CiOpen.
void ChaiConfigure(const TProfileFile& ini);
void ChaiSelectBackend(TChaiBackend backend, const QString& interfaceName = QStringLiteral("can0"));
// Null detaches. The bus must outlive its registration.
void ChaiSetVirtualBus(TChaiVirtualBus* bus);
// A message arriving from the virtual bus: queued for CiRead, callback called.
void ChaiDeliver(const canmsg_t& msg);
// Closes everything and forgets the configuration (tests).
void ChaiReset();
// Where the library tells the operator something (in Russian); without a hook
// it goes to the log. Null detaches.
void ChaiSetNoticeHook(std::function<void(const QString&)> hook);

// The bit rate of a SocketCAN interface is set by the system, not by
// CiSetBaud: at open the library reads it and, when it is not the bus's
// 125 kbit/s, tells the operator once how to set it.
// The rate the kernel reports for a CAN interface; none for an interface
// that is not CAN (or a virtual one, which has no rate) or is missing.
std::optional<std::uint32_t> ReadCanBitrate(const QString& interfaceName);
// The rate in the kernel's answer to a link request (netlink messages).
std::optional<std::uint32_t> CanBitrateFromLinkReply(QByteArray reply);
// The text for the operator; empty when the rate is right or unknown.
QString ChaiBitrateAdvice(const QString& interfaceName, std::optional<std::uint32_t> bitrate);
// Sees every Ci* call by name before it runs; a nonzero result makes that
// call fail with it (tests script faults and watch the call order).
void ChaiSetCallHook(std::function<std::int16_t(const char* call)> hook);

}  // namespace vorta
