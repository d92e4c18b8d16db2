// Frames byte for byte and the receive parser's state table.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "link/fin.h"
#include "link/frame_header.h"
#include "link/link_state.h"
#include "platform/event_loop.h"

namespace telvora {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(FrameEncoding, WorkedExampleOfNumberTableRead) {
  FrameHeader h = MakeRequest(1, 0x0800, 256, kTypeRead);
  SetPasswordBytes(h, u"5807");
  const Bytes frame = EncodeFrame(h, {});
  const std::uint8_t p = '5' + '8' + '0' + '7';
  const Bytes expected = {
      0xAA, '5',  '8',  '0',  '7',  0x01, 0x00, 0x08,
      0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x72, static_cast<std::uint8_t>(0x26 + p),
      0x0A};
  EXPECT_EQ(frame, expected);
}

TEST(FrameEncoding, PayloadSectionAndSizes) {
  FrameHeader h = MakeRequest(1, 0, 3, kTypeWrite);
  const Bytes payload = {0x31, 0x32, 0x33};
  const Bytes frame = EncodeFrame(h, payload);
  ASSERT_EQ(frame.size(), 17U + 5U);
  EXPECT_EQ(Bytes(frame.end() - 5, frame.end()), (Bytes{0x31, 0x32, 0x33, 0x96, 0x0A}));

  EXPECT_EQ(EncodeFrame(MakeRequest(1, 0x0800, 256, kTypeRead), {}).size(), 17U);
  EXPECT_EQ(EncodeFrame(MakeRequest(1, 0x0800, 128, kTypeWrite), Bytes(128, 0xAA)).size(), 147U);
}

TEST(FrameEncoding, NumbersAreLittleEndianAndNothingIsEscaped) {
  FrameHeader h = MakeRequest(0x0A, 0x0A0B0C0D, 0xAA0A, kTypeRead);
  const auto section = EncodeHeaderSection(h);
  EXPECT_EQ(Bytes(section.begin() + 6, section.begin() + 10), (Bytes{0x0D, 0x0C, 0x0B, 0x0A}));
  EXPECT_EQ(Bytes(section.begin() + 10, section.begin() + 14), (Bytes{0x0A, 0xAA, 0x00, 0x00}));
  EXPECT_EQ(section[5], 0x0A);
  const auto numbers = EncodeHeaderSection(MakeRequest(1, 0x0800, 0, kTypeRead));
  EXPECT_EQ(Bytes(numbers.begin() + 6, numbers.begin() + 10), (Bytes{0x00, 0x08, 0x00, 0x00}));
}

TEST(FrameEncoding, ChecksumIncludesSyncByte) {
  FrameHeader h = MakeRequest(0, 0, 0, kTypeRead);
  SetPasswordBytes(h, u"");
  EXPECT_EQ(EncodeHeaderSection(h)[15], 0x1C);
}

TEST(FrameEncoding, PasswordRule) {
  struct Case {
    std::u16string text;
    std::array<std::uint8_t, 4> bytes;
  };
  const Case cases[] = {
      {u"5807", {'5', '8', '0', '7'}},
      {u"ab", {'a', 'b', 0, 0}},
      {u"123456", {'1', '2', '3', '4'}},
      {u"\u0158xyz", {0x58, 'x', 'y', 'z'}},
      {u"", {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    FrameHeader h;
    Cfin::SetPassword(h, c.text);
    EXPECT_EQ(h.password, c.bytes);
  }
}

TEST(FrameEncoding, HeaderRoundTrip) {
  FrameHeader h = MakeRequest(10, 0xDEADBEEF, 0x01020304, kTypeAccepted);
  SetPasswordBytes(h, u"ABCD");
  EXPECT_EQ(DecodeHeaderFields(EncodeHeaderFields(h)), h);
}

// Counts what the parser posts; the main loop is real, only its window is absent.
class ParserTest : public ::testing::Test, public MessageHandler {
 protected:
  void SetUp() override {
    ResetLinkState();
    loop_.SetHandler(this);
    SetMainMessageLoop(&loop_);
  }
  void TearDown() override { SetMainMessageLoop(nullptr); }

  void HandleMessage(unsigned message, std::uintptr_t, std::intptr_t) override {
    if (message == WM_RX_FRAME) {
      ++frames_;
      headersSeen_.push_back(engine_.DecodedHeader());
    }
  }

  // Feeds bytes as one tick would, then handles what was posted.
  int Feed(const Bytes& bytes) {
    for (std::uint8_t b : bytes) engine_.ParseByte(b);
    return Dispatch();
  }
  int Dispatch() {
    const int before = frames_;
    unsigned long seen = ~0UL;
    while (seen != loop_.Dispatched()) {
      seen = loop_.Dispatched();
      loop_.DispatchUntil(std::chrono::steady_clock::now());
    }
    return frames_ - before;
  }

  static Bytes Reply(std::uint8_t type, const Bytes& payload, std::uint8_t command = 4) {
    FrameHeader h = MakeRequest(command, 0, static_cast<std::uint32_t>(payload.size()), type);
    return EncodeFrame(h, payload);
  }

  HeadlessMessageLoop loop_;
  Cfin engine_;
  int frames_ = 0;
  std::vector<FrameHeader> headersSeen_;
};

TEST_F(ParserTest, EmptyReplyCompletesAfterSeventeenBytes) {
  const Bytes frame = Reply(kTypeAccepted, {});
  Bytes head(frame.begin(), frame.end() - 1);
  EXPECT_EQ(Feed(head), 0);
  EXPECT_EQ(Feed({frame.back()}), 1);
  EXPECT_EQ(LastReplyHeader.type, kTypeAccepted);
  EXPECT_FALSE(LastReplyWasNotice);
  EXPECT_EQ(engine_.State(), ParseState::kIdle);
}

TEST_F(ParserTest, PayloadLandsAtCursorFollowedByZero) {
  TransferBuffer.fill(0xEE);
  RxPayloadCursor = TransferBuffer.data() + 100;
  const Bytes frame = Reply(kTypeAccepted, {0x31, 0x32, 0x33});
  EXPECT_EQ(Feed(Bytes(frame.begin(), frame.end() - 1)), 0);
  EXPECT_EQ(Feed({0x0A}), 1);
  EXPECT_EQ(Bytes(TransferBuffer.begin() + 100, TransferBuffer.begin() + 104),
            (Bytes{0x31, 0x32, 0x33, 0x00}));
  EXPECT_EQ(TransferBuffer[99], 0xEE);
  EXPECT_EQ(RxPayloadCursor, TransferBuffer.data() + 103);
}

TEST_F(ParserTest, SyncAndLineFeedInsideFieldsAreData) {
  FrameHeader h = MakeRequest(0xAA, 0x0AAA0A0A, 4, kTypeAccepted);
  h.password = {0xAA, 0x0A, 0xAA, 0x0A};
  const Bytes payload = {0xAA, 0x0A, 0xAA, 0x0A};
  EXPECT_EQ(Feed(EncodeFrame(h, payload)), 1);
  EXPECT_EQ(LastReplyHeader, h);
  EXPECT_EQ(Bytes(TransferBuffer.begin(), TransferBuffer.begin() + 4), payload);
}

TEST_F(ParserTest, BadHeaderChecksumOfSyncValueDoesNotStartAFrame) {
  // Choose a header whose correct checksum is not 0xAA, then send 0xAA in its place.
  Bytes frame = Reply(kTypeAccepted, {});
  ASSERT_NE(frame[15], 0xAA);
  frame[15] = 0xAA;
  // The bytes after the bad checksum look like a frame start only if 0xAA were examined.
  Bytes stream = frame;
  const Bytes good = Reply(kTypeRefused, {});
  stream.insert(stream.end(), good.begin(), good.end());
  EXPECT_EQ(Feed(stream), 1);
  EXPECT_EQ(LastReplyHeader.type, kTypeRefused);
}

TEST_F(ParserTest, CursorOutsideTransferBufferStoresFromItsStart) {
  std::array<std::uint8_t, 8> elsewhere{};
  RxPayloadCursor = elsewhere.data();
  EXPECT_EQ(Feed(Reply(kTypeAccepted, {7, 8})), 1);
  EXPECT_EQ(TransferBuffer[0], 7);
  EXPECT_EQ(TransferBuffer[1], 8);
  EXPECT_EQ(elsewhere[0], 0);
}

TEST_F(ParserTest, PayloadWrapsAtTheEndOfTransferBuffer) {
  TransferBuffer.fill(0);
  RxPayloadCursor = TransferBuffer.data() + kTransferBufferSize - 2;
  EXPECT_EQ(Feed(Reply(kTypeAccepted, {1, 2, 3})), 1);
  EXPECT_EQ(TransferBuffer[kTransferBufferSize - 2], 1);
  EXPECT_EQ(TransferBuffer[0], 2);
  EXPECT_EQ(TransferBuffer[1], 3);
  EXPECT_EQ(TransferBuffer[kTransferBufferSize - 1], 0);
}

TEST_F(ParserTest, DiscardedPayloadStillCompletesButStoresNothing) {
  TransferBuffer.fill(0x55);
  RxPayloadDiscard = true;
  EXPECT_EQ(Feed(Reply(kTypeAccepted, {1, 2, 3})), 1);
  EXPECT_EQ(TransferBuffer[0], 0x55);
  EXPECT_EQ(TransferBuffer[3], 0x55);
}

TEST_F(ParserTest, NoticeLines) {
  struct Case {
    std::string line;
    int frames;
  };
  const Case cases[] = {
      {"WRL: \r\n", 1},
      {"WRL: 12345678901234567\r\n", 1},   // 17 characters
      {"WRL: 123456789012345678\r\n", 0},  // an 18th drops the line
      {"WRL: abc\rX", 0},                  // CR not followed by LF
      {"WRX: abc\r\n", 0},
  };
  for (const Case& c : cases) {
    engine_.ResetParser();
    EXPECT_EQ(Feed(Bytes(c.line.begin(), c.line.end())), c.frames) << c.line;
  }
}

TEST_F(ParserTest, NoticeMarksLastReplyWithCommandLineFeedAndPreviousType) {
  EXPECT_EQ(Feed(Reply(kTypeRefused, {}, 4)), 1);
  const std::string line = "WRL: GSM OK\r\n";
  EXPECT_EQ(Feed(Bytes(line.begin(), line.end())), 1);
  EXPECT_TRUE(LastReplyWasNotice);
  EXPECT_EQ(LastReplyHeader.command, 0x0A);
  EXPECT_EQ(LastReplyHeader.type, kTypeRefused);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(RxNoticeBuffer.data())), "GSM OK");
}

TEST_F(ParserTest, FailedNoticePrefixSwallowsItsFiveBytes) {
  // "W" and four bytes that are not "RL: ": the 0xAA among them is not a frame start.
  Bytes stream = {'W', 0xAA, 'x', 'y', 'z'};
  const Bytes tail = Reply(kTypeAccepted, {});
  Bytes partial(tail.begin() + 1, tail.end());  // the rest of a frame without its sync
  stream.insert(stream.end(), partial.begin(), partial.end());
  EXPECT_EQ(Feed(stream), 0);
  EXPECT_EQ(engine_.State(), ParseState::kIdle);
}

TEST_F(ParserTest, GapOfThirtyTicksDropsAFrame) {
  const Bytes frame = Reply(kTypeAccepted, {});
  EXPECT_EQ(Feed(Bytes(frame.begin(), frame.begin() + 8)), 0);
  IdleTicks += 29;
  EXPECT_EQ(Feed(Bytes(frame.begin() + 8, frame.begin() + 9)), 0);  // 29 ticks: still alive
  IdleTicks += 30;
  EXPECT_EQ(Feed(Bytes(frame.begin() + 9, frame.end())), 0);
  EXPECT_EQ(engine_.State(), ParseState::kIdle);
  EXPECT_EQ(Feed(frame), 1);
}

TEST_F(ParserTest, TwoFramesInOneTickPostTwoAndShowTheSecond) {
  Bytes stream = Reply(kTypeAccepted, {}, 4);
  const Bytes second = Reply(kTypeRefused, {}, 6);
  stream.insert(stream.end(), second.begin(), second.end());
  for (std::uint8_t b : stream) engine_.ParseByte(b);
  EXPECT_EQ(Dispatch(), 2);
  ASSERT_EQ(headersSeen_.size(), 2U);
  EXPECT_EQ(headersSeen_[0].command, 6);
  EXPECT_EQ(headersSeen_[1].command, 6);
}

TEST_F(ParserTest, BadPayloadChecksumKeepsHeaderAndPostsNothing) {
  Bytes frame = Reply(kTypeAccepted, {1, 2, 3}, 8);
  frame[frame.size() - 2] ^= 0xFF;
  EXPECT_EQ(Feed(frame), 0);
  EXPECT_EQ(LastReplyHeader.command, 8);
  EXPECT_EQ(LastReplyHeader.length, 3U);
}

TEST_F(ParserTest, MissingLineFeedDropsTheFrame) {
  Bytes frame = Reply(kTypeAccepted, {});
  frame.back() = 0x0D;
  EXPECT_EQ(Feed(frame), 0);
  Bytes withPayload = Reply(kTypeAccepted, {9});
  withPayload.back() = 0x00;
  EXPECT_EQ(Feed(withPayload), 0);
}

// Whatever the line carried before, a pause of thirty ticks and a good frame give exactly
// that frame, and no byte ever lands outside TransferBuffer.
TEST_F(ParserTest, RecoversFromAnyNoiseAfterAnIdlePause) {
  std::mt19937 random(20261211);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> length(1, 400);
  const Bytes good = Reply(kTypeAccepted, {1, 2, 3}, 6);
  for (int round = 0; round < 500; ++round) {
    Bytes noise(static_cast<std::size_t>(length(random)));
    for (auto& b : noise) b = static_cast<std::uint8_t>(byte(random));
    // Noise that itself forms frames may post; only what follows the pause counts.
    Feed(noise);
    IdleTicks = 30;
    headersSeen_.clear();
    EXPECT_EQ(Feed(good), 1) << "round " << round;
    ASSERT_EQ(headersSeen_.size(), 1U);
    EXPECT_EQ(headersSeen_[0].command, 6);
    EXPECT_FALSE(LastReplyWasNotice);
    const auto cursor = reinterpret_cast<std::uintptr_t>(RxPayloadCursor);
    const auto start = reinterpret_cast<std::uintptr_t>(TransferBuffer.data());
    EXPECT_TRUE(cursor >= start && cursor < start + kTransferBufferSize);
  }
}

}  // namespace
}  // namespace telvora
