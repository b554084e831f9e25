#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "can/Crc16.h"
#include "can/UsbPacket.h"

namespace vorta {
namespace {

TCANFrame Frame(std::uint32_t id, std::uint8_t flags, std::vector<std::uint8_t> data) {
  TCANFrame f;
  f.Id = id;
  f.Flags = flags;
  f.Len = static_cast<std::uint8_t>(data.size());
  for (std::size_t i = 0; i < data.size() && i < 8; ++i) f.Data[i] = data[i];
  return f;
}

std::vector<std::uint8_t> Bytes(const TUsbPacket& p) {
  return {p.begin(), p.end()};
}

void Append(std::vector<std::uint8_t>& stream, const TUsbPacket& p) {
  stream.insert(stream.end(), p.begin(), p.end());
}

bool SameFrame(const TCANFrame& a, const TCANFrame& b) {
  return a.Id == b.Id && a.Flags == b.Flags && a.Len == b.Len &&
         std::equal(std::begin(a.Data), std::end(a.Data), std::begin(b.Data));
}

// Feeds the stream in pieces of the given sizes (cycled) and collects the
// frames the adapter side would hand to the bus.
std::vector<TCANFrame> ReadFrames(const std::vector<std::uint8_t>& stream,
                                  const std::vector<std::size_t>& pieces = {4096},
                                  TUsbPacketReader* reader = nullptr) {
  TUsbPacketReader own;
  TUsbPacketReader& r = reader != nullptr ? *reader : own;
  std::vector<TCANFrame> frames;
  std::size_t pos = 0;
  for (std::size_t i = 0; pos < stream.size(); ++i) {
    const std::size_t n = std::min(pieces[i % pieces.size()], stream.size() - pos);
    r.Feed(stream.data() + pos, n, [&](TUsbPayloadView payload) {
      if (const auto f = ReceivedFrameOf(payload)) frames.push_back(*f);
    });
    pos += n;
  }
  return frames;
}

TEST(UsbCrc, CatalogueCheckValueAndTableAgreeWithTheBitwiseStep) {
  const std::string_view check = "123456789";
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(check.data());
  EXPECT_EQ(Crc16(bytes, check.size()), 0x29B1);
  std::uint16_t bitwise = kCrc16Start;
  for (int b = 0; b < 256; ++b) {
    bitwise = UpdateCrc16(bitwise, static_cast<std::uint8_t>(b));
  }
  std::vector<std::uint8_t> all(256);
  for (int b = 0; b < 256; ++b) all[b] = static_cast<std::uint8_t>(b);
  EXPECT_EQ(Crc16(all.data(), all.size()), bitwise);
}

TEST(UsbPacket, SendFramePacket_matchesTheConverterByteForByte) {
  const TCANFrame f = Frame(0x123, 0, {0x01, 0x02});
  const std::vector<std::uint8_t> expected = {0x55, 0x05, 0, 0, 0, 0, 0x23, 0x01, 0x00, 0x00, 0x00,
                                              0x02, 1,    2, 0, 0, 0, 0,    0,    0,    0x39, 0x91};
  EXPECT_EQ(Bytes(BuildPacket(SendFramePayload(f))), expected);
}

TEST(UsbPacket, SetParameterPacket_carriesTheLowByteOnly) {
  const TUsbPacket p = BuildPacket(SetParameterPayload(0x1234));
  EXPECT_EQ(p[1], kUsbSetParameter);
  EXPECT_EQ(p[1 + kUsbFrameOffset], 0x34);
  for (std::size_t i = 2; i < 1 + kUsbPayloadSize; ++i) {
    if (i != 1 + kUsbFrameOffset) {
      EXPECT_EQ(p[i], 0) << i;
    }
  }
  EXPECT_TRUE(PacketBodyValid(p.data() + 1));
}

TEST(UsbPacketReader, ExtendedFrameRoundTrip_keepsEveryField) {
  const TCANFrame f = Frame(0x1ABCDEF0, kFlagExtended | kFlagRemote, {1, 2, 3, 4, 5, 6, 7, 8});
  std::vector<std::uint8_t> stream;
  Append(stream, BuildPacket(ReceivedFramePayload(f)));
  const auto frames = ReadFrames(stream);
  ASSERT_EQ(frames.size(), 1U);
  EXPECT_TRUE(SameFrame(frames[0], f));
}

TEST(UsbPacketReader, EverySingleBitFlip_isRejected) {
  const TUsbPacket good = BuildPacket(ReceivedFramePayload(Frame(0x321, 0, {9, 8, 7})));
  const TUsbPacket next = BuildPacket(ReceivedFramePayload(Frame(0x222, 0, {1})));
  for (std::size_t byte = 0; byte < kUsbPacketSize; ++byte) {
    for (int bit = 0; bit < 8; ++bit) {
      TUsbPacket bad = good;
      bad[byte] ^= static_cast<std::uint8_t>(1U << bit);
      std::vector<std::uint8_t> stream;
      Append(stream, bad);
      const auto alone = ReadFrames(stream);
      EXPECT_TRUE(alone.empty()) << "byte " << byte << " bit " << bit;
      // Past a flipped body the next packet is read as usual: the bad one is
      // dropped whole, not searched for a sync byte.
      if (byte > 0) {
        Append(stream, next);
        const auto after = ReadFrames(stream);
        ASSERT_EQ(after.size(), 1U) << "byte " << byte << " bit " << bit;
        EXPECT_EQ(std::uint32_t{after[0].Id}, 0x222U);
      }
    }
  }
}

TEST(UsbPacketReader, StreamSplitAtEveryBoundary_deliversEveryFrameOnceInOrder) {
  std::vector<std::uint8_t> stream;
  std::vector<TCANFrame> sent;
  for (std::uint32_t i = 0; i < 20; ++i) {
    // Payload bytes equal to the sync byte must not confuse the reader.
    sent.push_back(Frame(0x55 + i, 0, {0x55, static_cast<std::uint8_t>(i), 0x55}));
    Append(stream, BuildPacket(ReceivedFramePayload(sent.back())));
  }
  auto check = [&](const std::vector<TCANFrame>& got, const std::string& how) {
    ASSERT_EQ(got.size(), sent.size()) << how;
    for (std::size_t i = 0; i < sent.size(); ++i) {
      EXPECT_TRUE(SameFrame(got[i], sent[i])) << how << " frame " << i;
    }
  };
  check(ReadFrames(stream, {1}), "one byte per read");
  for (std::size_t cut = 1; cut < stream.size(); ++cut) {
    check(ReadFrames(stream, {cut, stream.size()}), "cut at " + std::to_string(cut));
  }
  for (std::size_t piece = 2; piece <= 45; ++piece) {
    check(ReadFrames(stream, {piece}), "pieces of " + std::to_string(piece));
  }
}

TEST(UsbPacketReader, GarbageBeforePacket_isSkippedAndThePacketDelivered) {
  std::vector<std::uint8_t> stream = {0x00, 0xFF, 0x13, 0xAA, 0x54, 0x56};
  Append(stream, BuildPacket(ReceivedFramePayload(Frame(0x100, 0, {0x42}))));
  TUsbPacketReader reader;
  const auto frames = ReadFrames(stream, {3}, &reader);
  ASSERT_EQ(frames.size(), 1U);
  EXPECT_EQ(frames[0].Data[0], 0x42);
  EXPECT_EQ(reader.SkippedBytes(), 6U);
}

TEST(UsbPacketReader, WrongKindOfPacket_isDroppedWithoutLosingTheNext) {
  TUsbPayload second2 = ReceivedFramePayload(Frame(0x10, 0, {1}));
  second2[1] = 2;
  TUsbPayload type5 = SendFramePayload(Frame(0x11, 0, {1}));
  std::vector<std::uint8_t> stream;
  Append(stream, BuildPacket(second2));
  Append(stream, BuildPacket(type5));
  Append(stream, BuildPacket(SetParameterPayload(7)));
  Append(stream, BuildPacket(ReceivedFramePayload(Frame(0x12, 0, {1}))));
  const auto frames = ReadFrames(stream);
  ASSERT_EQ(frames.size(), 1U);
  EXPECT_EQ(std::uint32_t{frames[0].Id}, 0x12U);
}

TEST(UsbPacketReader, ReceivedStandardFrame_isCutTo11BitsAndEightBytes) {
  TCANFrame wide = Frame(0xFFFF, 0, {});
  wide.Len = 200;
  TCANFrame ext = Frame(0x1FFFFFFF, kFlagExtended, {1});
  std::vector<std::uint8_t> stream;
  Append(stream, BuildPacket(ReceivedFramePayload(wide)));
  Append(stream, BuildPacket(ReceivedFramePayload(ext)));
  const auto frames = ReadFrames(stream);
  ASSERT_EQ(frames.size(), 2U);
  EXPECT_EQ(std::uint32_t{frames[0].Id}, 0x7FFU);
  EXPECT_EQ(frames[0].Len, 8);
  EXPECT_EQ(std::uint32_t{frames[1].Id}, 0x1FFFFFFFU);
}

TEST(UsbPacketReader, ConverterSide_readsTheSendFrameAsSent) {
  const TCANFrame f = Frame(0xFFFF, 0, {1, 2});
  const TUsbPacket p = BuildPacket(SendFramePayload(f));
  TUsbPacketReader reader;
  std::vector<TCANFrame> got;
  reader.Feed(p.data(), p.size(), [&](TUsbPayloadView payload) {
    EXPECT_FALSE(ReceivedFrameOf(payload).has_value());
    if (const auto g = SendFrameOf(payload)) got.push_back(*g);
  });
  ASSERT_EQ(got.size(), 1U);
  EXPECT_TRUE(SameFrame(got[0], f));
}

}  // namespace
}  // namespace vorta
