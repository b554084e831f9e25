#include "can/Chai.h"

#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QStringList>
#include <cstring>
#include <deque>
#include <memory>

#include <linux/can.h>
#include <linux/can/netlink.h>
#include <linux/can/raw.h>
#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <QLoggingCategory>

#include "platform/ProfileFile.h"

namespace vorta {

namespace {

constexpr std::size_t kMaxQueued = 4096;  // a stalled reader must not eat memory
constexpr std::uint32_t kBusBitrate = 125000;

Q_LOGGING_CATEGORY(lcChai, "vorta.chai")

struct TChaiState {
  bool initialised = false;
  bool opened = false;
  bool started = false;
  TChaiBackend backend = TChaiBackend::SocketCan;
  QString interfaceName = QStringLiteral("can0");
  TChaiVirtualBus* virtualBus = nullptr;
  TChaiCallback callback = nullptr;
  std::deque<canmsg_t> received;
  int socket = -1;
  std::unique_ptr<QSocketNotifier> notifier;
  std::function<std::int16_t(const char*)> hook;
  std::function<void(const QString&)> notice;
  // Interfaces whose wrong bit rate the operator has been told of.
  QStringList toldRate;
};

TChaiState& State() {
  static TChaiState state;
  return state;
}

void Queue(const canmsg_t& msg) {
  TChaiState& s = State();
  if (!s.started) return;
  if (s.received.size() >= kMaxQueued) s.received.pop_front();
  s.received.push_back(msg);
  if (s.callback != nullptr) s.callback(0);
}

void ReadSocket() {
  TChaiState& s = State();
  can_frame frame{};
  while (::recv(s.socket, &frame, sizeof frame, MSG_DONTWAIT) == sizeof frame) {
    canmsg_t msg;
    msg.id = frame.can_id & ((frame.can_id & CAN_EFF_FLAG) != 0 ? CAN_EFF_MASK : CAN_SFF_MASK);
    if ((frame.can_id & CAN_EFF_FLAG) != 0) msg_seteff(&msg);
    if ((frame.can_id & CAN_RTR_FLAG) != 0) msg_setrtr(&msg);
    msg.len = std::min<std::uint8_t>(frame.can_dlc, 8);
    std::memcpy(msg.data, frame.data, 8);
    Queue(msg);
  }
}

// Every reconnect opens again: one word per interface is enough, and once it
// is said the kernel is not asked again.
void TellWrongBitrateOnce(TChaiState& s) {
  if (s.toldRate.contains(s.interfaceName)) return;
  const QString advice = ChaiBitrateAdvice(s.interfaceName, ReadCanBitrate(s.interfaceName));
  if (advice.isEmpty()) return;
  s.toldRate << s.interfaceName;
  if (s.notice) {
    s.notice(advice);
  } else {
    qCWarning(lcChai).noquote() << advice;
  }
}

std::int16_t OpenSocket() {
  TChaiState& s = State();
  const int fd = ::socket(PF_CAN, SOCK_RAW | SOCK_CLOEXEC, CAN_RAW);
  if (fd < 0) return kChaiErrNoDevice;
  ifreq ifr{};
  const QByteArray name = s.interfaceName.toLocal8Bit();
  std::strncpy(ifr.ifr_name, name.constData(), IFNAMSIZ - 1);
  sockaddr_can addr{};
  addr.can_family = AF_CAN;
  if (::ioctl(fd, SIOCGIFINDEX, &ifr) < 0 ||
      (addr.can_ifindex = ifr.ifr_ifindex,
       ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0)) {
    ::close(fd);
    return kChaiErrNoDevice;
  }
  s.socket = fd;
  TellWrongBitrateOnce(s);
  return 0;
}

// The attributes of a netlink attribute's payload, by type.
template <typename Visit>
void ForEachAttribute(rtattr* first, int len, Visit visit) {
  for (rtattr* a = first; RTA_OK(a, len); a = RTA_NEXT(a, len)) visit(a);
}

std::int16_t Hook(const char* call) {
  const auto& hook = State().hook;
  return hook ? hook(call) : std::int16_t{0};
}

}  // namespace

std::int16_t CiInit() {
  if (const std::int16_t r = Hook("CiInit"); r != 0) return r;
  State().initialised = true;
  return 0;
}

std::int16_t CiOpen(std::uint8_t chan, std::uint8_t /*flags*/) {
  if (const std::int16_t r = Hook("CiOpen"); r != 0) return r;
  TChaiState& s = State();
  if (!s.initialised || chan != 0) return kChaiErrArg;
  if (s.opened) return kChaiErrBusy;
  if (s.backend == TChaiBackend::Virtual) {
    if (s.virtualBus == nullptr) return kChaiErrNoDevice;
  } else if (const std::int16_t r = OpenSocket(); r != 0) {
    return r;
  }
  s.opened = true;
  return 0;
}

std::int16_t CiSetBaud(std::uint8_t chan, std::uint8_t /*bt0*/, std::uint8_t /*bt1*/) {
  if (const std::int16_t r = Hook("CiSetBaud"); r != 0) return r;
  // The bit rate of a SocketCAN interface is set by the system (ip link).
  return State().opened && chan == 0 ? 0 : kChaiErrState;
}

std::int16_t CiSetCB(std::uint8_t chan, std::uint8_t event, TChaiCallback callback) {
  if (const std::int16_t r = Hook("CiSetCB"); r != 0) return r;
  TChaiState& s = State();
  if (!s.opened || chan != 0 || event != 1) return kChaiErrState;
  s.callback = callback;
  return 0;
}

std::int16_t CiStart(std::uint8_t chan) {
  if (const std::int16_t r = Hook("CiStart"); r != 0) return r;
  TChaiState& s = State();
  if (!s.opened || chan != 0) return kChaiErrState;
  s.started = true;
  if (s.socket >= 0 && !s.notifier) {
    s.notifier = std::make_unique<QSocketNotifier>(s.socket, QSocketNotifier::Read);
    QObject::connect(s.notifier.get(), &QSocketNotifier::activated, [] { ReadSocket(); });
  }
  return 0;
}

std::int16_t CiStop(std::uint8_t chan) {
  if (const std::int16_t r = Hook("CiStop"); r != 0) return r;
  TChaiState& s = State();
  if (chan != 0) return kChaiErrArg;
  s.started = false;
  s.notifier.reset();
  return 0;
}

std::int16_t CiClose(std::uint8_t chan) {
  if (const std::int16_t r = Hook("CiClose"); r != 0) return r;
  TChaiState& s = State();
  if (chan != 0) return kChaiErrArg;
  s.notifier.reset();
  if (s.socket >= 0) ::close(s.socket);
  s.socket = -1;
  s.opened = false;
  s.started = false;
  s.callback = nullptr;
  s.received.clear();
  return 0;
}

std::int16_t CiRead(std::uint8_t chan, canmsg_t* msg, std::int16_t count) {
  TChaiState& s = State();
  if (chan != 0 || msg == nullptr || count < 1) return kChaiErrArg;
  std::int16_t n = 0;
  while (n < count && !s.received.empty()) {
    msg[n++] = s.received.front();
    s.received.pop_front();
  }
  return n;
}

std::int16_t CiWrite(std::uint8_t chan, canmsg_t* msg, std::int16_t count) {
  if (const std::int16_t r = Hook("CiWrite"); r != 0) return r;
  TChaiState& s = State();
  if (chan != 0 || msg == nullptr || count < 1) return kChaiErrArg;
  if (!s.started) return kChaiErrState;
  for (std::int16_t i = 0; i < count; ++i) {
    if (s.backend == TChaiBackend::Virtual) {
      if (s.virtualBus != nullptr && s.virtualBus->Transmit) s.virtualBus->Transmit(msg[i]);
      continue;
    }
    can_frame frame{};
    frame.can_id = msg[i].id;
    if ((msg[i].flags & kChaiFlagEff) != 0) frame.can_id |= CAN_EFF_FLAG;
    if ((msg[i].flags & kChaiFlagRtr) != 0) frame.can_id |= CAN_RTR_FLAG;
    frame.can_dlc = std::min<std::uint8_t>(msg[i].len, 8);
    std::memcpy(frame.data, msg[i].data, 8);
    if (::send(s.socket, &frame, sizeof frame, MSG_DONTWAIT) != sizeof frame) return kChaiErrState;
  }
  return 0;
}

void msg_seteff(canmsg_t* msg) {
  msg->flags |= kChaiFlagEff;
}
void msg_setrtr(canmsg_t* msg) {
  msg->flags |= kChaiFlagRtr;
}

void ChaiConfigure(const TProfileFile& ini) {
  const QString backend = ini.ReadString(QStringLiteral("CHAI"), QStringLiteral("Backend"),
                                         QStringLiteral("socketcan"));
  ChaiSelectBackend(
      backend.compare(QLatin1String("virtual"), Qt::CaseInsensitive) == 0 ? TChaiBackend::Virtual
                                                                          : TChaiBackend::SocketCan,
      ini.ReadString(QStringLiteral("CHAI"), QStringLiteral("Interface"), QStringLiteral("can0")));
}

void ChaiSelectBackend(TChaiBackend backend, const QString& interfaceName) {
  State().backend = backend;
  State().interfaceName = interfaceName;
}

void ChaiSetVirtualBus(TChaiVirtualBus* bus) {
  State().virtualBus = bus;
}

void ChaiDeliver(const canmsg_t& msg) {
  Queue(msg);
}

void ChaiSetCallHook(std::function<std::int16_t(const char* call)> hook) {
  State().hook = std::move(hook);
}

void ChaiSetNoticeHook(std::function<void(const QString&)> hook) {
  State().notice = std::move(hook);
}

std::optional<std::uint32_t> CanBitrateFromLinkReply(QByteArray reply) {
  std::optional<std::uint32_t> bitrate;
  auto len = static_cast<std::uint32_t>(reply.size());
  for (auto* h = reinterpret_cast<nlmsghdr*>(reply.data()); NLMSG_OK(h, len);
       h = NLMSG_NEXT(h, len)) {
    if (h->nlmsg_type != RTM_NEWLINK || h->nlmsg_len < NLMSG_LENGTH(sizeof(ifinfomsg))) continue;
    auto* link = static_cast<ifinfomsg*>(NLMSG_DATA(h));
    ForEachAttribute(IFLA_RTA(link), static_cast<int>(IFLA_PAYLOAD(h)), [&](rtattr* a) {
      if (a->rta_type != IFLA_LINKINFO) return;
      bool isCan = false;
      rtattr* data = nullptr;
      ForEachAttribute(
          static_cast<rtattr*>(RTA_DATA(a)), static_cast<int>(RTA_PAYLOAD(a)), [&](rtattr* b) {
            if (b->rta_type == IFLA_INFO_KIND) {
              const auto* kind = static_cast<const char*>(RTA_DATA(b));
              isCan = QByteArray(kind, static_cast<int>(::strnlen(kind, RTA_PAYLOAD(b)))) == "can";
            } else if (b->rta_type == IFLA_INFO_DATA) {
              data = b;
            }
          });
      if (!isCan || data == nullptr) return;
      ForEachAttribute(
          static_cast<rtattr*>(RTA_DATA(data)), static_cast<int>(RTA_PAYLOAD(data)),
          [&](rtattr* c) {
            if (c->rta_type == IFLA_CAN_BITTIMING && RTA_PAYLOAD(c) >= sizeof(can_bittiming)) {
              can_bittiming timing{};
              std::memcpy(&timing, RTA_DATA(c), sizeof timing);
              // Zero: the interface has not been given a rate.
              bitrate = timing.bitrate;
            }
          });
    });
  }
  return bitrate;
}

std::optional<std::uint32_t> ReadCanBitrate(const QString& interfaceName) {
  const unsigned index = ::if_nametoindex(interfaceName.toLocal8Bit().constData());
  if (index == 0) return std::nullopt;
  const int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
  if (fd < 0) return std::nullopt;
  timeval timeout{1, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  struct {
    nlmsghdr head;
    ifinfomsg link;
  } request{};
  request.head.nlmsg_len = NLMSG_LENGTH(sizeof(ifinfomsg));
  request.head.nlmsg_type = RTM_GETLINK;
  request.head.nlmsg_flags = NLM_F_REQUEST;
  request.head.nlmsg_seq = 1;
  request.link.ifi_family = AF_UNSPEC;
  request.link.ifi_index = static_cast<int>(index);
  QByteArray reply(qsizetype{64} * 1024, '\0');
  ssize_t n = -1;
  if (::send(fd, &request, request.head.nlmsg_len, 0) == request.head.nlmsg_len) {
    n = ::recv(fd, reply.data(), static_cast<std::size_t>(reply.size()), 0);
  }
  ::close(fd);
  if (n <= 0) return std::nullopt;
  reply.truncate(static_cast<int>(n));
  return CanBitrateFromLinkReply(reply);
}

QString ChaiBitrateAdvice(const QString& interfaceName, std::optional<std::uint32_t> bitrate) {
  if (!bitrate || *bitrate == kBusBitrate) return {};
  return QCoreApplication::translate(
             "vorta::Chai",
             "Скорость шины CAN на интерфейсе %1: %2 бит/с, а устройства работают на "
             "125000 бит/с. Программа не может изменить её сама; установите её от "
             "имени администратора:\nip link set %1 down\n"
             "ip link set %1 type can bitrate 125000\nip link set %1 up")
      .arg(interfaceName)
      .arg(*bitrate);
}

void ChaiReset() {
  TChaiState& s = State();
  s.hook = nullptr;
  s.notice = nullptr;
  s.toldRate.clear();
  CiClose(0);
  s.initialised = false;
  s.backend = TChaiBackend::SocketCan;
  s.interfaceName = QStringLiteral("can0");
  s.virtualBus = nullptr;
}

}  // namespace vorta
