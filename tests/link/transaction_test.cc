// Transactions and block transfers against the simulated unit on a pseudo-terminal.
#include <sys/resource.h>

#include <chrono>
#include <vector>

#include "link/block_io.h"
#include "link/commands.h"
#include "link/link_state.h"
#include "link_fixture.h"

namespace telvora {
namespace {

using Bytes = std::vector<std::uint8_t>;
using std::chrono::steady_clock;

struct ExpectedChunk {
  std::uint32_t address;
  std::uint32_t length;
};

void ExpectRequests(const std::vector<ReceivedRequest>& got, std::uint8_t type,
                    const std::vector<ExpectedChunk>& chunks) {
  ASSERT_EQ(got.size(), chunks.size());
  for (std::size_t i = 0; i < chunks.size(); ++i) {
    EXPECT_EQ(got[i].header.command, cmd::kBlock) << i;
    EXPECT_EQ(got[i].header.type, type) << i;
    EXPECT_EQ(got[i].header.address, chunks[i].address) << i;
    EXPECT_EQ(got[i].header.length, chunks[i].length) << i;
    EXPECT_EQ(got[i].payload.size(), type == kTypeWrite ? chunks[i].length : 0U) << i;
  }
}

using TransferTest = SimulatedUnitTest;

TEST_F(TransferTest, ReadsGoOutInChunksOf256AndReassembleTheBlock) {
  struct Case {
    std::uint32_t address;
    std::uint32_t length;
    std::vector<ExpectedChunk> chunks;
  };
  const Case cases[] = {
      {0x0800, 1280, {{0x0800, 256}, {0x0900, 256}, {0x0A00, 256}, {0x0B00, 256}, {0x0C00, 256}}},
      {0x0400, 690, {{0x0400, 256}, {0x0500, 256}, {0x0600, 178}}},
      {0x4000, 128, {{0x4000, 128}}},
  };
  for (const Case& c : cases) {
    sim_->ClearRequests();
    const BlockRead read = ReadBlock(engine(), u"5807", c.address, c.length, 3);
    ASSERT_TRUE(read.result.complete) << c.address;
    EXPECT_EQ(read.bytes, sim_->ReadMemory(c.address, c.length));
    ExpectRequests(sim_->Requests(), kTypeRead, c.chunks);
  }
}

TEST_F(TransferTest, WritesGoOutInChunksOf128WithTheirSlices) {
  Bytes block(1280);
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(i * 7 + 1);
  const TransferResult r = WriteBlock(engine(), u"5807", 0x0800, block, 5);
  EXPECT_TRUE(r.complete);
  std::vector<ExpectedChunk> chunks;
  for (std::uint32_t k = 0; k < 10; ++k) chunks.push_back({0x0800 + 128 * k, 128});
  const auto got = sim_->Requests();
  ExpectRequests(got, kTypeWrite, chunks);
  for (std::size_t k = 0; k < got.size(); ++k) {
    EXPECT_EQ(got[k].payload, Bytes(block.begin() + 128 * k, block.begin() + 128 * (k + 1)));
  }
  EXPECT_EQ(sim_->ReadMemory(0x0800, 1280), block);
}

TEST_F(TransferTest, EmptyReadSendsOneRequestAndEmptyWriteSendsNone) {
  FrameHeader read = MakeRequest(cmd::kFirmware, 0, 0, kTypeRead);
  Cfin::SetPassword(read, u"5807");
  ReplyTimeoutSeconds = 3;
  EXPECT_TRUE(engine().TransferBlock(read, 0, TransferBuffer.data(), 256).complete);
  ASSERT_EQ(sim_->Requests().size(), 1U);
  EXPECT_EQ(sim_->Requests()[0].header.length, 0U);

  sim_->ClearRequests();
  FrameHeader write = MakeRequest(cmd::kBlock, 0x0400, 0, kTypeWrite);
  const TransferResult r = engine().TransferBlock(write, 1, TransferBuffer.data(), 128);
  EXPECT_TRUE(r.replied);
  EXPECT_TRUE(r.complete);
  EXPECT_EQ(r.chunks, 0);
  EXPECT_TRUE(sim_->Requests().empty());
}

TEST_F(TransferTest, TimeoutAtSecondOfFiveChunksStopsTheTransfer) {
  sim_->InjectAt(sim_->RequestCount() + 2, SimFault::Silent());
  TransferBuffer.fill(0xEE);
  const auto start = steady_clock::now();
  const BlockRead read = ReadBlock(engine(), u"5807", 0x0800, 1280, 3);
  const auto waited = steady_clock::now() - start;
  EXPECT_FALSE(read.result.replied);
  EXPECT_FALSE(read.result.complete);
  EXPECT_TRUE(read.bytes.empty());
  EXPECT_EQ(sim_->Requests().size(), 2U);
  // A limit of three changes of the seconds value: more than two seconds, at most three.
  EXPECT_GE(waited, std::chrono::seconds(2));
  EXPECT_LT(waited, std::chrono::milliseconds(3500));
}

TEST_F(TransferTest, ARefusedChunkStopsTheTransferAndIsNotAGoodBlock) {
  sim_->SetPassword(UnitSimulator::PasswordBytes("1111"));
  const BlockRead read = ReadBlock(engine(), u"5807", 0x0400, 690, 3);
  EXPECT_TRUE(read.result.replied);
  EXPECT_TRUE(read.result.refused);
  EXPECT_FALSE(read.result.complete);
  EXPECT_EQ(OutcomeOf(read.result), TransferOutcome::kRefused);
  EXPECT_TRUE(read.bytes.empty());
  EXPECT_EQ(sim_->Requests().size(), 1U);
}

TEST_F(TransferTest, ShortRepliesAndNoticeLinesAreNotGoodBlocks) {
  struct Case {
    const char* what;
    SimFault fault;
  };
  const Case cases[] = {
      {"short reply", SimFault::ShortAnswer(100)},
      {"notice instead of a reply", SimFault::NoticeInstead("GSM REG")},
  };
  for (const Case& c : cases) {
    sim_->ClearRequests();
    sim_->InjectAt(sim_->RequestCount() + 2, c.fault);
    const BlockRead read = ReadBlock(engine(), u"5807", 0x0400, 690, 3);
    EXPECT_TRUE(read.result.replied) << c.what;
    EXPECT_FALSE(read.result.complete) << c.what;
    EXPECT_EQ(OutcomeOf(read.result), TransferOutcome::kBadReply) << c.what;
    EXPECT_TRUE(read.bytes.empty()) << c.what;
    EXPECT_EQ(sim_->Requests().size(), 2U) << c.what;
  }
}

TEST_F(TransferTest, NoiseOrANoticeBeforeTheReplyDoNotDisturbIt) {
  const SimFault faults[] = {SimFault::Noise(40), SimFault::NoticeBefore("SIGNAL 20")};
  for (const SimFault& f : faults) {
    sim_->InjectNext(f, 3);
    const BlockRead read = ReadBlock(engine(), u"5807", 0x0400, 690, 3);
    // A notice line ahead of the reply ends the wait first: the chunk is not trusted.
    if (f.kind == SimFault::Kind::kNoise) {
      EXPECT_TRUE(read.result.complete);
      EXPECT_EQ(read.bytes, sim_->ReadMemory(0x0400, 690));
    } else {
      EXPECT_FALSE(read.result.complete);
    }
    sim_->ClearFaults();
    ASSERT_TRUE(sim_->WaitUntilIdle(std::chrono::seconds(2)));
  }
}

TEST_F(TransferTest, NoiseAndACorruptedFrameBeforeAGoodReplyAreSkipped) {
  sim_->InjectNext(SimFault::Noise(30), 3);
  sim_->InjectNext(SimFault::CorruptFrameBefore(), 3);
  TransferBuffer.fill(0xEE);
  const BlockRead read = ReadBlock(engine(), u"5807", 0x0400, 690, 3);
  ASSERT_TRUE(read.result.complete);
  EXPECT_EQ(read.bytes, sim_->ReadMemory(0x0400, 690));
}

TEST_F(TransferTest, ACorruptedReplyTimesOutAndTheNextRequestSucceeds) {
  const SimFault faults[] = {SimFault::BadHeaderChecksum(), SimFault::BadPayloadChecksum()};
  for (const SimFault& f : faults) {
    sim_->InjectNext(f, 1);
    const BlockRead bad = ReadBlock(engine(), u"5807", 0x4000, 128, 2);
    EXPECT_FALSE(bad.result.replied);
    const BlockRead good = ReadBlock(engine(), u"5807", 0x4000, 128, 2);
    EXPECT_TRUE(good.result.complete);
    EXPECT_EQ(good.bytes, sim_->ReadMemory(0x4000, 128));
  }
}

TEST_F(TransferTest, AFramePausedShorterThanThirtyTicksStillCompletes) {
  sim_->InjectNext(SimFault::PauseInFrame(40, std::chrono::milliseconds(150)), 1);
  const BlockRead read = ReadBlock(engine(), u"5807", 0x4000, 128, 3);
  EXPECT_TRUE(read.result.complete);
}

TEST_F(TransferTest, AFramePausedLongerThanThirtyTicksIsDropped) {
  sim_->InjectNext(SimFault::PauseInFrame(40, std::chrono::milliseconds(600)), 1);
  const BlockRead read = ReadBlock(engine(), u"5807", 0x4000, 128, 2);
  EXPECT_FALSE(read.result.replied);
}

// A write's later chunks must reach the unit as packed, even when the unit answers
// each chunk with a payload of its own.
TEST_F(TransferTest, RepliesWithPayloadNeverOverwriteBytesStillToBeSent) {
  Bytes block(300);
  for (std::size_t i = 0; i < block.size(); ++i)
    block[i] = static_cast<std::uint8_t>(0x30 + i % 40);
  std::copy(block.begin(), block.end(), TransferBuffer.begin());
  // The balance-code command answers every frame with a text.
  FrameHeader h = MakeRequest(cmd::kCredit, 0, 300, kTypeWrite);
  Cfin::SetPassword(h, u"5807");
  ReplyTimeoutSeconds = 3;
  const TransferResult r = engine().TransferBlock(h, 300, TransferBuffer.data(), 128);
  EXPECT_TRUE(r.complete);
  const auto got = sim_->Requests();
  ASSERT_EQ(got.size(), 3U);
  Bytes sent;
  for (const auto& req : got) sent.insert(sent.end(), req.payload.begin(), req.payload.end());
  EXPECT_EQ(sent, block);
}

TEST_F(TransferTest, WaitingForAReplyDoesNotSpin) {
  sim_->InjectNext(SimFault::Silent(), 1);
  rusage before{};
  getrusage(RUSAGE_SELF, &before);
  const auto start = steady_clock::now();
  ReadBlock(engine(), u"5807", 0x4000, 128, 3);
  const double wall = std::chrono::duration<double>(steady_clock::now() - start).count();
  rusage after{};
  getrusage(RUSAGE_SELF, &after);
  auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  const double cpu = seconds(after.ru_utime) - seconds(before.ru_utime) + seconds(after.ru_stime) -
                     seconds(before.ru_stime);
  // A polling wait would burn a whole core for the whole wait; a blocking one, next to nothing.
  EXPECT_LT(cpu, wall * 0.2) << "cpu " << cpu << " s over " << wall << " s";
}

TEST_F(TransferTest, ReplyArrivesAtLineSpeedWithoutWaitingForTicks) {
  // Paced at 19200 baud: the full read still finishes, and its bytes match.
  session_.reset();
  sim_->Stop();
  StartUnit(UnitSimulatorOptions{});
  const BlockRead read = ReadBlock(engine(), u"5807", 0x0800, 1280, 5);
  ASSERT_TRUE(read.result.complete);
  EXPECT_EQ(read.bytes, sim_->ReadMemory(0x0800, 1280));
}

}  // namespace
}  // namespace telvora
