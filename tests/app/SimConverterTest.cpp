// vorta-sim's converter: what the controller's reader gets from it, faults
// included, and what it makes of the controller's packets.

#include <gtest/gtest.h>

#include <vector>

#include "app/vorta-sim/SimConverter.h"

namespace vorta::sim {
namespace {

TCANFrame Frame(std::uint32_t id) {
  TCANFrame f;
  f.Id = id;
  f.Len = 3;
  f.Data[0] = static_cast<std::uint8_t>(id);
  f.Data[1] = 0x55;  // a sync byte inside the payload
  f.Data[2] = static_cast<std::uint8_t>(id >> 8);
  return f;
}

// Runs frames 1..count through the converter and the controller's reader.
std::vector<std::uint32_t> Through(TSimConverter& converter, std::uint32_t count,
                                   int* chunksWritten = nullptr) {
  TUsbPacketReader reader;
  std::vector<std::uint32_t> ids;
  for (std::uint32_t id = 1; id <= count; ++id) {
    const auto chunks = converter.ToLine(Frame(id));
    if (chunksWritten != nullptr) *chunksWritten += static_cast<int>(chunks.size());
    for (const QByteArray& c : chunks) {
      reader.Feed(reinterpret_cast<const std::uint8_t*>(c.constData()),
                  static_cast<std::size_t>(c.size()), [&](TUsbPayloadView payload) {
                    const auto f = ReceivedFrameOf(payload);
                    ASSERT_TRUE(f.has_value());
                    EXPECT_EQ(f->Data[0], static_cast<std::uint8_t>(f->Id));
                    EXPECT_EQ(f->Data[2], static_cast<std::uint8_t>(f->Id >> 8));
                    ids.push_back(f->Id);
                  });
    }
  }
  return ids;
}

TEST(SimConverter, CleanLine_deliversEveryFrame) {
  TSimConverter converter;
  const auto ids = Through(converter, 50);
  ASSERT_EQ(ids.size(), 50U);
  EXPECT_EQ(ids.front(), 1U);
  EXPECT_EQ(ids.back(), 50U);
}

TEST(SimConverter, BadCrcEveryThird_dropsExactlyThose) {
  TSimConverter converter({.BadCrcEvery = 3});
  const auto ids = Through(converter, 30);
  ASSERT_EQ(ids.size(), 20U);
  for (const auto id : ids) EXPECT_NE(id % 3, 0U) << id;
}

TEST(SimConverter, SplitPackets_arriveWholeAcrossTwoWrites) {
  TSimConverter converter({.SplitEvery = 2});
  int chunks = 0;
  const auto ids = Through(converter, 20, &chunks);
  EXPECT_EQ(chunks, 30);
  EXPECT_EQ(ids.size(), 20U);
}

TEST(SimConverter, GarbageBetweenPackets_neverYieldsAWrongOrRepeatedFrame) {
  for (std::uint32_t seed = 1; seed <= 20; ++seed) {
    TSimConverter converter({.GarbageEvery = 2}, seed);
    const auto ids = Through(converter, 200);
    // Garbage holding a sync byte costs the packets it runs into; the reader
    // gets back in step, and nothing it delivers is corrupt or repeated.
    EXPECT_GE(ids.size(), 100U) << "seed " << seed;
    for (std::size_t i = 1; i < ids.size(); ++i) EXPECT_LT(ids[i - 1], ids[i]);
  }
}

TEST(SimConverter, ControllerPackets_reachTheBusAndSetTheParameter) {
  TSimConverter converter;
  std::vector<std::uint8_t> stream = {0x01, 0x02};
  auto add = [&](const TUsbPacket& p) { stream.insert(stream.end(), p.begin(), p.end()); };
  add(BuildPacket(SendFramePayload(Frame(0x123))));
  add(BuildPacket(SetParameterPayload(0x2A7)));
  add(BuildPacket(ReceivedFramePayload(Frame(0x124))));  // not the controller's to send
  add(BuildPacket(SendFramePayload(Frame(0x125))));
  std::vector<std::uint32_t> bus;
  for (std::size_t i = 0; i < stream.size(); i += 5) {
    converter.FromLine(stream.data() + i, std::min<std::size_t>(5, stream.size() - i),
                       [&](const TCANFrame& f) { bus.push_back(f.Id); });
  }
  EXPECT_EQ(bus, (std::vector<std::uint32_t>{0x123, 0x125}));
  EXPECT_EQ(converter.Parameter(), 0xA7);
  EXPECT_EQ(converter.FramesIn(), 2U);
}

}  // namespace
}  // namespace vorta::sim
