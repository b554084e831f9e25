#include "can/ChaiAdapter.h"

#include <cstring>

#include "can/AdapterFactory.h"

namespace vorta {

namespace {
// The one open board adapter the library's callback reaches.
TChaiCAN* gOpenAdapter = nullptr;
}  // namespace

TChaiCAN::~TChaiCAN() {
  if (gOpenAdapter == this) gOpenAdapter = nullptr;
}

void TChaiCAN::SetActive(bool value) {
  if (value == Active()) return;
  if (value) {
    Open();
  } else {
    Close();
  }
}

void TChaiCAN::Open() {
  SetActiveState(false);
  if (CiInit() != 0) return;
  if (CiOpen(Channel, 4) != 0) return;
  // A channel left open by a failed attempt would refuse every later open:
  // release it, so that the reconnect timer's next try starts clean.
  if (CiSetBaud(Channel, 0x03, 0x1C) != 0 || CiSetCB(Channel, 1, &TChaiCAN::Callback) != 0) {
    CiClose(Channel);
    return;
  }
  gOpenAdapter = this;
  CiStart(Channel);
  SetActiveState(true);
}

void TChaiCAN::Close() {
  CiStop(Channel);
  CiClose(Channel);
  SetActiveState(false);
}

TCANFrame FrameFromMessage(const canmsg_t& msg) {
  TCANFrame frame;
  frame.Id = msg.id;
  frame.Len = msg.len;
  std::memcpy(frame.Data, msg.data, 8);
  if ((msg.flags & kChaiFlagEff) != 0) frame.Flags |= kFlagExtended;
  if ((msg.flags & kChaiFlagRtr) != 0) frame.Flags |= kFlagRemote;
  return frame;
}

canmsg_t MessageFromFrame(const TCANFrame& frame) {
  canmsg_t msg;
  // The marks are set only through the library's own calls.
  if ((frame.Flags & kFlagExtended) != 0) msg_seteff(&msg);
  if ((frame.Flags & kFlagRemote) != 0) msg_setrtr(&msg);
  msg.id = frame.Id;
  std::memcpy(msg.data, frame.Data, 8);
  msg.len = frame.Len;
  return msg;
}

void TChaiCAN::Send(TCANFrame& frame) {
  TCANAdapter::Send(frame);
  Msg = MessageFromFrame(frame);
  CiWrite(Channel, &Msg, 1);
}

void TChaiCAN::Callback(std::int16_t /*unused*/) {
  if (gOpenAdapter != nullptr) gOpenAdapter->ReceiveOne();
}

void TChaiCAN::ReceiveOne() {
  canmsg_t msg;
  if (CiRead(0, &msg, 1) != 1) return;
  // The marks are kept for the log text: what the library said of the message.
  TCANFrame frame = FrameFromMessage(msg);
  if (OnFrame) OnFrame(frame, 0);
  if (OnReceive()) OnReceive()(frame);
}

void RegisterChaiAdapter(TAdapterFactory& factory) {
  factory.Register(TAdapterFactory::kChaiType, [](const TAdapterConfig& config) {
    ChaiConfigure(config.Ini);
    return std::make_unique<TChaiCAN>();
  });
}

}  // namespace vorta
