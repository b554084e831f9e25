#pragma once
// The adapter for the CAN board: channel 0 at 125 kbit/s through the board
// library; frames arrive through the library's callback.

#include "can/CANAdapter.h"
#include "can/Chai.h"

namespace vorta {

class TAdapterFactory;

class TChaiCAN final : public TCANAdapter {
 public:
  TChaiCAN() = default;
  // Destroying the adapter does not close the channel, but the callback
  // must never reach a freed adapter.
  ~TChaiCAN() override;

  void SetActive(bool value) override;
  void Send(TCANFrame& frame) override;

  void Open();
  void Close();

  std::uint8_t Channel = 0;
  canmsg_t Msg;

 private:
  static void Callback(std::int16_t);
  void ReceiveOne();
};

// The library's message record and the program's frame, both ways (the
// extended and remote marks included).
TCANFrame FrameFromMessage(const canmsg_t& msg);
canmsg_t MessageFromFrame(const TCANFrame& frame);

// Registers the board adapter under its configuration type name.
void RegisterChaiAdapter(TAdapterFactory& factory);

}  // namespace vorta
