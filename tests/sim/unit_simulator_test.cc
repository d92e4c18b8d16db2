// The simulated unit seen from the serial line: answers, memory, password, faults and pacing.
#include "tools/unit_simulator.h"

#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <cstdio>
#include <ostream>
#include <string>

#include "tests/sim/sim_port.h"

namespace telvora::test {
namespace {

using namespace std::chrono_literals;

std::vector<std::uint8_t> Bytes(std::string_view text) {
  return {text.begin(), text.end()};
}
std::vector<std::uint8_t> Text(std::string_view text) {
  auto out = Bytes(text);
  out.push_back(0);
  return out;
}

// An unpaced unit without answer delay, and the tool's end of its line.
class SimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UnitSimulatorOptions options;
    options.baud = 0;
    options.answerDelay = 0us;
    sim_ = std::make_unique<UnitSimulator>(options);
    std::string error;
    ASSERT_TRUE(sim_->Start(&error)) << error;
    port_ = std::make_unique<SimPort>(sim_->DevicePath());
    ASSERT_TRUE(port_->IsOpen());
  }

  std::vector<std::uint8_t> ReadBlock(std::uint32_t address, std::size_t length) {
    std::vector<std::uint8_t> block;
    while (block.size() < length) {
      const auto chunk =
          static_cast<std::uint32_t>(std::min<std::size_t>(256, length - block.size()));
      const auto reply = port_->Ask(Request(1, address, chunk, kTypeRead));
      EXPECT_TRUE(reply.has_value());
      if (!reply) {
        break;
      }
      block.insert(block.end(), reply->payload.begin(), reply->payload.end());
      address += chunk;
    }
    return block;
  }

  std::unique_ptr<UnitSimulator> sim_;
  std::unique_ptr<SimPort> port_;
};

struct BlockReadCase {
  const char* name;
  std::uint32_t address;
  std::uint32_t length;
};
void PrintTo(const BlockReadCase& c, std::ostream* os) {
  *os << c.name;
}

class BlockReadTest : public SimTest, public ::testing::WithParamInterface<BlockReadCase> {};

TEST_P(BlockReadTest, RepliesWithTheRequestedMemoryBytes) {
  const auto& c = GetParam();
  const auto reply = port_->Ask(Request(1, c.address, c.length, kTypeRead));
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->header.type, kTypeAccepted);
  EXPECT_EQ(reply->header.command, 1);
  EXPECT_EQ(reply->header.length, c.length);
  EXPECT_EQ(reply->payload, sim_->ReadMemory(c.address, c.length));
}

INSTANTIATE_TEST_SUITE_P(Chunks, BlockReadTest,
                         ::testing::Values(BlockReadCase{"basic_first", 0x0400, 256},
                                           BlockReadCase{"basic_last", 0x0600, 178},
                                           BlockReadCase{"numbers", 0x0800, 256},
                                           BlockReadCase{"numbers_tail", 0x0C00, 256},
                                           BlockReadCase{"internet", 0x4000, 128},
                                           BlockReadCase{"one_byte", 0x0400, 1},
                                           BlockReadCase{"past_the_end", 0xFFF0, 32}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(SimTest, BlockReadOfZeroBytesIsAcceptedWithoutPayload) {
  const auto reply = port_->Ask(Request(1, 0x0400, 0, kTypeRead));
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->header.type, kTypeAccepted);
  EXPECT_EQ(reply->header.length, 0u);
}

TEST_F(SimTest, MemoryPastTheEndReadsAsErased) {
  const auto reply = port_->Ask(Request(1, 0xFFF8, 16, kTypeRead));
  ASSERT_TRUE(reply.has_value());
  ASSERT_EQ(reply->payload.size(), 16u);
  for (std::size_t i = 8; i < 16; ++i) {
    EXPECT_EQ(reply->payload[i], 0xFF) << i;
  }
}

TEST_F(SimTest, BasicBlockHoldsABelievableInstallation) {
  const auto b = ReadBlock(kSimBasicAddress, kSimBasicSize);
  ASSERT_EQ(b.size(), kSimBasicSize);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[0])), "Chata Lipno");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[64])), "vstup1 ");
  // "Dveře" in Windows-1250: the 8-bit text path must meet a character above 0x7F.
  EXPECT_EQ(std::vector<std::uint8_t>(b.begin() + 128, b.begin() + 134),
            (std::vector<std::uint8_t>{'D', 'v', 'e', 0xF8, 'e', 0}));
  // Behind the user name's two zero bytes lies the tail of an older name.
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[13])), "ad Vltavou");
  for (std::size_t reserved : {651, 657, 677}) {
    EXPECT_NE(b[reserved], 0) << reserved;
  }
  EXPECT_EQ(b[656] & 0x03, 0x03) << "flag bits the page does not show";
  // t2Min is -20.0 °C, stored little-endian.
  EXPECT_EQ(b[660], 0x38);
  EXPECT_EQ(b[661], 0xFF);
  for (std::size_t text = 0; text < 640; text += 64) {
    EXPECT_NE(b[text], 0) << "text field at " << text << " is empty";
  }
}

TEST_F(SimTest, NumberAndInternetBlocksHoldBelievableEntries) {
  const auto n = ReadBlock(kSimNumbersAddress, kSimNumbersSize);
  ASSERT_EQ(n.size(), kSimNumbersSize);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&n[0])), "+420602123456");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&n[48])), "+42060212345678");
  EXPECT_EQ(n[63], 0) << "a 15-digit number ends in its field's last byte";
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&n[16 * 40])), "x");
  EXPECT_EQ(n[1024], 20);
  EXPECT_EQ(n[1024 + 63], 10);

  const auto i = ReadBlock(kSimInternetAddress, kSimInternetSize);
  ASSERT_EQ(i.size(), kSimInternetSize);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&i[0])), "chata-lipno");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&i[64])), "relay.telvora.example");
}

TEST_F(SimTest, WrittenBlockReadsBackAndLeavesItsNeighbours) {
  std::vector<std::uint8_t> slice(128);
  for (std::size_t i = 0; i < slice.size(); ++i) {
    slice[i] = static_cast<std::uint8_t>(i * 7);
  }
  slice[3] = kSyncByte;  // no escaping: sync and line feed are plain data
  slice[4] = kLineFeed;
  const auto before = sim_->ReadMemory(0x0880 - 1, 1);
  const auto after = sim_->ReadMemory(0x0880 + 128, 1);

  const auto written = port_->Ask(Request(1, 0x0880, 128, kTypeWrite), slice);
  ASSERT_TRUE(written.has_value());
  EXPECT_EQ(written->header.type, kTypeAccepted);
  EXPECT_EQ(written->header.length, 0u);

  const auto read = port_->Ask(Request(1, 0x0880, 128, kTypeRead));
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(read->payload, slice);
  EXPECT_EQ(sim_->ReadMemory(0x0880, 128), slice);
  EXPECT_EQ(sim_->ReadMemory(0x0880 - 1, 1), before);
  EXPECT_EQ(sim_->ReadMemory(0x0880 + 128, 1), after);
}

struct RefusedCase {
  const char* name;
  std::uint8_t command;
  std::uint32_t address;
  std::uint8_t type;
  std::vector<std::uint8_t> payload;
  std::u16string password;
};
void PrintTo(const RefusedCase& c, std::ostream* os) {
  *os << c.name;
}

class WrongPasswordTest : public SimTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(WrongPasswordTest, IsRefusedAndChangesNothing) {
  const auto& c = GetParam();
  const auto memory = sim_->ReadMemory(0, kSimMemorySize);
  sim_->SetClock({2024, 12, 9, 8, 5, 7}, false);
  const auto length = static_cast<std::uint32_t>(c.type == kTypeRead ? 16 : c.payload.size());
  const auto reply =
      port_->Ask(Request(c.command, c.address, length, c.type, c.password), c.payload);
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->header.type, kTypeRefused);
  EXPECT_EQ(reply->header.length, 0u);
  EXPECT_EQ(sim_->ReadMemory(0, kSimMemorySize), memory);
  EXPECT_EQ(sim_->Password(), UnitSimulator::PasswordBytes("5807"));
  EXPECT_EQ(sim_->Clock(), (UnitClock{2024, 12, 9, 8, 5, 7}));
}

INSTANTIATE_TEST_SUITE_P(
    Requests, WrongPasswordTest,
    ::testing::Values(RefusedCase{"block_read", 1, 0x0400, kTypeRead, {}, u"1234"},
                      RefusedCase{"block_write", 1, 0x0400, kTypeWrite, {1, 2, 3}, u"1234"},
                      RefusedCase{"firmware", 4, 0, kTypeRead, {}, u"5808"},
                      RefusedCase{"clock_write", 2, 0, kTypeWrite, {1, 1, 1, 1, 1, 1}, u"0000"},
                      RefusedCase{"password_change", 7, 128, kTypeWrite, Text("1111"), u"x807"},
                      RefusedCase{"short_password", 4, 0, kTypeRead, {}, u"58"},
                      RefusedCase{"empty_password", 4, 0, kTypeRead, {}, u""}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(SimTest, PasswordChangeTakesEffectForTheNextRequest) {
  const auto change = port_->Ask(Request(7, 128, 5, kTypeWrite), Text("4321"));
  ASSERT_TRUE(change.has_value());
  EXPECT_EQ(change->header.type, kTypeAccepted);

  const auto old = port_->Ask(Request(4, 0, 0, kTypeRead, u"5807"));
  ASSERT_TRUE(old.has_value());
  EXPECT_EQ(old->header.type, kTypeRefused);
  const auto fresh = port_->Ask(Request(4, 0, 0, kTypeRead, u"4321"));
  ASSERT_TRUE(fresh.has_value());
  EXPECT_EQ(fresh->header.type, kTypeAccepted);
}

TEST_F(SimTest, PasswordChangeAtAnotherAddressChangesNothing) {
  const auto change = port_->Ask(Request(7, 0, 5, kTypeWrite), Text("4321"));
  ASSERT_TRUE(change.has_value());
  EXPECT_EQ(change->header.type, kTypeAccepted);
  EXPECT_EQ(sim_->Password(), UnitSimulator::PasswordBytes("5807"));
}

TEST(SimPassword, TextGivesTheLowEightBitsOfEachCharacter) {
  EXPECT_EQ(UnitSimulator::PasswordBytes("5807"),
            (std::array<std::uint8_t, 4>{'5', '8', '0', '7'}));
  EXPECT_EQ(UnitSimulator::PasswordBytes("ab"), (std::array<std::uint8_t, 4>{'a', 'b', 0, 0}));
  // U+0158 (Ř) goes out as 0x58, U+00E9 (é) as 0xE9.
  EXPECT_EQ(UnitSimulator::PasswordBytes("\xC5\x98\xC3\xA9xyz"),
            (std::array<std::uint8_t, 4>{0x58, 0xE9, 'x', 'y'}));
}

struct QueryCase {
  const char* name;
  std::uint8_t command;
  std::uint8_t type;
  std::vector<std::uint8_t> payload;
  std::vector<std::uint8_t> expected;
};
void PrintTo(const QueryCase& c, std::ostream* os) {
  *os << c.name;
}

class QueryTest : public SimTest, public ::testing::WithParamInterface<QueryCase> {};

TEST_P(QueryTest, RepliesWithTheConfiguredValue) {
  sim_->Configure([](UnitSimulatorOptions& o) {
    o.firmware = "TELVORA 99.01.02";
    o.signal = "17";
    o.imei = "352099001761481";
    o.voltageTenths = -15;
    o.temperature1Tenths = -1000;
    o.temperature2Tenths = 235;
    o.creditAnswer = "Kredit {code}: 12,50 K\xE8";
  });
  const auto& c = GetParam();
  const auto length = static_cast<std::uint32_t>(c.payload.size());
  const auto reply = port_->Ask(Request(c.command, 0, length, c.type), c.payload);
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->header.type, kTypeAccepted);
  EXPECT_EQ(reply->header.command, c.command);
  EXPECT_EQ(reply->header.length, c.expected.size());
  EXPECT_EQ(reply->payload, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, QueryTest,
    ::testing::Values(
        QueryCase{"signal", 3, kTypeRead, {}, Text("17")},
        QueryCase{"firmware", 4, kTypeRead, {}, Text("TELVORA 99.01.02")},
        QueryCase{"credit", 5, kTypeWrite, Text("*104*#"), Text("Kredit *104*#: 12,50 K\xE8")},
        QueryCase{"credit_empty_code", 5, kTypeWrite, {0}, Text("Kredit : 12,50 K\xE8")},
        QueryCase{"imei", 6, kTypeRead, {}, Text("352099001761481")},
        QueryCase{"voltage", 8, kTypeRead, {}, {0xF1, 0xFF, 0xFF, 0xFF}},
        QueryCase{"temperatures", 10, kTypeRead, {}, {0x18, 0xFC, 0xEB, 0x00}},
        QueryCase{"unknown_command", 9, kTypeRead, {}, {}},
        QueryCase{"signal_as_write", 3, kTypeWrite, {1}, {}},
        QueryCase{"unknown_write", 200, kTypeWrite, {1, 2, 3}, {}}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(SimTest, ClockSetByTheToolReadsBackInItsOwnOrder) {
  sim_->SetClock({2000, 1, 1, 0, 0, 0}, false);
  // Set: year - 2000, month, day, hour, minute, second.
  const auto set =
      port_->Ask(Request(2, 0, 6, kTypeWrite), std::vector<std::uint8_t>{24, 12, 9, 8, 5, 7});
  ASSERT_TRUE(set.has_value());
  EXPECT_EQ(set->header.type, kTypeAccepted);
  EXPECT_EQ(sim_->Clock(), (UnitClock{2024, 12, 9, 8, 5, 7}));
  // Read: day, month, year - 2000, hour, minute, second.
  const auto read = port_->Ask(Request(2, 0, 0, kTypeRead));
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(read->payload, (std::vector<std::uint8_t>{9, 12, 24, 8, 5, 7}));
}

TEST_F(SimTest, RunningClockAdvancesFromTheSetTime) {
  sim_->SetClock({2005, 12, 31, 23, 59, 58});
  const auto read = port_->Ask(Request(2, 0, 0, kTypeRead));
  ASSERT_TRUE(read.has_value());
  ASSERT_EQ(read->payload.size(), 6u);
  const std::vector<std::uint8_t> endOfYear{31, 12, 5, 23, 59};
  if (read->payload[5] >= 58) {
    EXPECT_EQ(std::vector<std::uint8_t>(read->payload.begin(), read->payload.begin() + 5),
              endOfYear);
  } else {  // a slow machine may have crossed into the new year
    EXPECT_EQ(std::vector<std::uint8_t>(read->payload.begin(), read->payload.begin() + 5),
              (std::vector<std::uint8_t>{1, 1, 6, 0, 0}));
  }
}

// --- requests as the unit takes them -------------------------------------------------------

TEST_F(SimTest, RequestsAreRecordedInOrderWithTheirPayloads) {
  EXPECT_FALSE(sim_->WaitForRequests(1, 50ms));
  ASSERT_TRUE(port_->Ask(Request(1, 0x4000, 3, kTypeWrite), std::vector<std::uint8_t>{7, 8, 9}));
  ASSERT_TRUE(port_->Ask(Request(4, 0, 0, kTypeRead, u"1234")));
  ASSERT_TRUE(sim_->WaitForRequests(2, 1s));

  const auto requests = sim_->Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].number, 1u);
  EXPECT_EQ(requests[0].header, Request(1, 0x4000, 3, kTypeWrite));
  EXPECT_EQ(requests[0].payload, (std::vector<std::uint8_t>{7, 8, 9}));
  EXPECT_EQ(requests[1].number, 2u);
  EXPECT_EQ(requests[1].header, Request(4, 0, 0, kTypeRead, u"1234"));
  EXPECT_TRUE(requests[1].payload.empty());

  sim_->ClearRequests();
  EXPECT_TRUE(sim_->Requests().empty());
  EXPECT_EQ(sim_->RequestCount(), 2u);
  ASSERT_TRUE(port_->Ask(Request(4, 0, 0, kTypeRead)));
  ASSERT_TRUE(sim_->WaitForRequests(1, 1s));
  EXPECT_EQ(sim_->Requests().front().number, 3u);
}

TEST_F(SimTest, MalformedRequestIsNeitherAnsweredNorRecorded) {
  auto bad = EncodeFrame(Request(4, 0, 0, kTypeRead), {});
  ++bad[15];
  ASSERT_TRUE(port_->SendRaw(bad));
  auto badPayload = EncodeFrame(Request(1, 0x4000, 2, kTypeWrite), std::vector<std::uint8_t>{1, 2});
  ++badPayload[kHeaderSectionSize + 2];
  ASSERT_TRUE(port_->SendRaw(badPayload));
  EXPECT_TRUE(port_->Read(1, 150ms).empty());
  EXPECT_TRUE(sim_->Requests().empty());
  EXPECT_EQ(sim_->Stats().malformedRequests, 2u);
  EXPECT_NE(sim_->ReadMemory(0x4000, 2), (std::vector<std::uint8_t>{1, 2}));

  const auto reply = port_->Ask(Request(4, 0, 0, kTypeRead));
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->header.type, kTypeAccepted);
}

TEST_F(SimTest, LineNoiseBeforeARequestIsSkipped) {
  auto bytes = Bytes("W\x01\x0A garbage WRL: \r\n");
  const auto frame = EncodeFrame(Request(6, 0, 0, kTypeRead), {});
  bytes.insert(bytes.end(), frame.begin(), frame.end());
  ASSERT_TRUE(port_->SendRaw(bytes));
  const auto reply = port_->ReadReply();
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->payload, Text("356938035643809"));
}

TEST_F(SimTest, RequestSplitAcrossWritesIsTaken) {
  const auto frame =
      EncodeFrame(Request(1, 0x4000, 4, kTypeWrite), std::vector<std::uint8_t>{1, 2, 3, 4});
  ASSERT_TRUE(port_->SendRaw(std::span(frame).first(9)));
  EXPECT_TRUE(port_->Read(1, 30ms).empty());
  ASSERT_TRUE(port_->SendRaw(std::span(frame).subspan(9)));
  const auto reply = port_->ReadReply();
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(sim_->ReadMemory(0x4000, 4), (std::vector<std::uint8_t>{1, 2, 3, 4}));
}

TEST_F(SimTest, RequestBrokenOffLongerThanTheGapLimitIsDropped) {
  sim_->Configure([](UnitSimulatorOptions& o) { o.requestGapLimit = 100ms; });
  const auto abandoned =
      EncodeFrame(Request(1, 0x4000, 4, kTypeWrite), std::vector<std::uint8_t>{1, 2, 3, 4});
  ASSERT_TRUE(port_->SendRaw(std::span(abandoned).first(8)));
  EXPECT_TRUE(port_->Read(1, 250ms).empty());
  // Without the gap rule these bytes would complete the abandoned header and be lost.
  const auto reply = port_->Ask(Request(4, 0, 0, kTypeRead));
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->header.command, 4);
  EXPECT_EQ(sim_->Stats().malformedRequests, 1u);
}

TEST_F(SimTest, ExclusiveMarkIsClearedWhenTheToolClosesThePort) {
  {
    SimPort tool(sim_->DevicePath());
    ASSERT_TRUE(tool.IsOpen());
    ASSERT_EQ(ioctl(tool.fd(), TIOCEXCL), 0);
  }
  // The close is seen before this request, so once its reply is here the mark is gone and a
  // tool without special rights could open the port again.
  ASSERT_TRUE(port_->Ask(Request(4, 0, 0, kTypeRead)));
  int exclusive = -1;
  ASSERT_EQ(ioctl(port_->fd(), TIOCGEXCL, &exclusive), 0);
  EXPECT_EQ(exclusive, 0);
}

// --- scripted faults ------------------------------------------------------------------------

TEST_F(SimTest, RefuseFaultAnswersHWhateverThePasswordAndWritesNothing) {
  sim_->InjectNext(SimFault::Refuse());
  const auto reply = port_->Ask(Request(1, 0x4000, 2, kTypeWrite), std::vector<std::uint8_t>{1, 2});
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->header.type, kTypeRefused);
  EXPECT_EQ(reply->header.length, 0u);
  EXPECT_NE(sim_->ReadMemory(0x4000, 2), (std::vector<std::uint8_t>{1, 2}));
}

TEST_F(SimTest, FaultForTheNextRequestsCoversExactlyThatMany) {
  sim_->InjectNext(SimFault::Refuse(), 2);
  std::vector<std::uint8_t> types;
  for (int i = 0; i < 3; ++i) {
    const auto reply = port_->Ask(Request(4, 0, 0, kTypeRead));
    ASSERT_TRUE(reply.has_value());
    types.push_back(reply->header.type);
  }
  EXPECT_EQ(types, (std::vector<std::uint8_t>{kTypeRefused, kTypeRefused, kTypeAccepted}));
}

TEST_F(SimTest, FaultForARequestNumberHitsOnlyThatRequest) {
  ASSERT_TRUE(port_->Ask(Request(4, 0, 0, kTypeRead)));
  sim_->InjectAt(sim_->RequestCount() + 2, SimFault::Refuse());
  std::vector<std::uint8_t> types;
  for (int i = 0; i < 3; ++i) {
    const auto reply = port_->Ask(Request(4, 0, 0, kTypeRead));
    ASSERT_TRUE(reply.has_value());
    types.push_back(reply->header.type);
  }
  EXPECT_EQ(types, (std::vector<std::uint8_t>{kTypeAccepted, kTypeRefused, kTypeAccepted}));
}

TEST_F(SimTest, SilentFaultSendsNothingAndCarriesNothingOut) {
  sim_->InjectNext(SimFault::Silent());
  ASSERT_TRUE(port_->Send(Request(1, 0x4000, 2, kTypeWrite), std::vector<std::uint8_t>{1, 2}));
  ASSERT_TRUE(sim_->WaitForRequests(1, 1s));
  EXPECT_TRUE(port_->Read(1, 200ms).empty());
  EXPECT_NE(sim_->ReadMemory(0x4000, 2), (std::vector<std::uint8_t>{1, 2}));
  EXPECT_TRUE(port_->Ask(Request(4, 0, 0, kTypeRead)).has_value());
}

TEST_F(SimTest, ClearedFaultsNoLongerApply) {
  sim_->InjectNext(SimFault::Silent(), 5);
  sim_->ClearFaults();
  EXPECT_TRUE(port_->Ask(Request(4, 0, 0, kTypeRead)).has_value());
}

TEST_F(SimTest, BadHeaderChecksumFaultSpoilsOnlyThatByte) {
  sim_->InjectNext(SimFault::BadHeaderChecksum());
  ASSERT_TRUE(port_->Send(Request(4, 0, 0, kTypeRead)));
  const auto raw = port_->ReadUntilQuiet(100ms);
  FrameHeader good = Request(4, 0, 17, kTypeAccepted);
  const auto expected = EncodeFrame(good, Text("TELVORA 14.01.21"));
  ASSERT_EQ(raw.size(), expected.size());
  EXPECT_EQ(raw[15], static_cast<std::uint8_t>(expected[15] + 1));
  auto repaired = raw;
  repaired[15] = expected[15];
  EXPECT_EQ(repaired, expected);
}

TEST_F(SimTest, BadPayloadChecksumFaultSpoilsOnlyThatByte) {
  sim_->InjectNext(SimFault::BadPayloadChecksum());
  ASSERT_TRUE(port_->Send(Request(1, 0x0400, 16, kTypeRead)));
  const auto raw = port_->ReadUntilQuiet(100ms);
  const auto expected =
      EncodeFrame(Request(1, 0x0400, 16, kTypeAccepted), sim_->ReadMemory(0x0400, 16));
  ASSERT_EQ(raw.size(), expected.size());
  const std::size_t at = kHeaderSectionSize + 16;
  EXPECT_EQ(raw[at], static_cast<std::uint8_t>(expected[at] + 1));
  auto repaired = raw;
  repaired[at] = expected[at];
  EXPECT_EQ(repaired, expected);
}

TEST_F(SimTest, NoiseFaultPrecedesTheReplyWithBytesThatStartNothing) {
  sim_->InjectNext(SimFault::Noise(300));
  ASSERT_TRUE(port_->Send(Request(4, 0, 0, kTypeRead)));
  const auto noise = port_->Read(300, 2s);
  ASSERT_EQ(noise.size(), 300u);
  for (std::uint8_t b : noise) {
    EXPECT_NE(b, kSyncByte);
    EXPECT_NE(b, 'W');
  }
  std::size_t distinct = 0;
  for (int v = 0; v < 256; ++v) {
    distinct += std::count(noise.begin(), noise.end(), static_cast<std::uint8_t>(v)) > 0 ? 1 : 0;
  }
  EXPECT_GT(distinct, 64u) << "noise should look random";
  const auto reply = port_->ReadReply();
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->payload, Text("TELVORA 14.01.21"));
}

TEST_F(SimTest, NoticeInsteadFaultSendsOnlyTheNoticeLine) {
  sim_->InjectNext(SimFault::NoticeInstead("GSM restart"));
  ASSERT_TRUE(port_->Send(Request(4, 0, 0, kTypeRead)));
  EXPECT_EQ(port_->ReadUntilQuiet(100ms), Bytes("WRL: GSM restart\r\n"));
}

TEST_F(SimTest, NoticeBeforeFaultCutsTheTextAndThenReplies) {
  sim_->InjectNext(SimFault::NoticeBefore("0123456789abcdefghij"));
  ASSERT_TRUE(port_->Send(Request(4, 0, 0, kTypeRead)));
  EXPECT_EQ(port_->Read(24, 1s), Bytes("WRL: 0123456789abcdefg\r\n"));
  const auto reply = port_->ReadReply();
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->header.type, kTypeAccepted);
}

TEST_F(SimTest, PauseFaultKeepsTheLineQuietInsideTheFrame) {
  sim_->InjectNext(SimFault::PauseInFrame(5, 400ms));
  ASSERT_TRUE(port_->Send(Request(4, 0, 0, kTypeRead)));
  EXPECT_EQ(port_->Read(5, 1s).size(), 5u);
  EXPECT_TRUE(port_->Read(1, 150ms).empty()) << "the pause came too early or not at all";
  const auto rest = port_->Read(kHeaderSectionSize - 5 + 19, 2s);
  EXPECT_EQ(rest.size(), kHeaderSectionSize - 5 + 19);
  EXPECT_GE(sim_->Stats().pauseTotal, 400ms);
}

TEST_F(SimTest, ExtraDelayFaultHoldsTheWholeReply) {
  sim_->InjectNext(SimFault::ExtraDelay(400ms));
  ASSERT_TRUE(port_->Send(Request(4, 0, 0, kTypeRead)));
  EXPECT_TRUE(port_->Read(1, 150ms).empty());
  EXPECT_TRUE(port_->ReadReply().has_value());
}

TEST_F(SimTest, ShortAnswerFaultKeepsHeaderAndChecksumConsistent) {
  sim_->InjectNext(SimFault::ShortAnswer(3));
  const auto reply = port_->Ask(Request(1, 0x0400, 256, kTypeRead));
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->header.type, kTypeAccepted);
  EXPECT_EQ(reply->header.length, 3u);
  EXPECT_EQ(reply->payload, sim_->ReadMemory(0x0400, 3));
  EXPECT_TRUE(port_->Read(1, 50ms).empty());
}

TEST_F(SimTest, FaultsCombineOnOneRequest) {
  sim_->InjectNext(SimFault::Noise(10));
  sim_->InjectNext(SimFault::NoticeBefore("SMS"));
  sim_->InjectNext(SimFault::Refuse());
  ASSERT_TRUE(port_->Send(Request(4, 0, 0, kTypeRead)));
  EXPECT_EQ(port_->Read(10, 1s).size(), 10u);
  EXPECT_EQ(port_->Read(10, 1s), Bytes("WRL: SMS\r\n"));
  const auto reply = port_->ReadReply();
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->header.type, kTypeRefused);
}

TEST_F(SimTest, ObserverSeesEachRequestWithItsReply) {
  std::mutex m;
  std::vector<std::pair<std::uint64_t, std::size_t>> seen;
  sim_->SetObserver([&](const ReceivedRequest& r, const std::vector<std::uint8_t>& reply) {
    std::lock_guard lock(m);
    seen.emplace_back(r.number, reply.size());
  });
  sim_->InjectAt(2, SimFault::Silent());
  ASSERT_TRUE(port_->Ask(Request(4, 0, 0, kTypeRead)));
  ASSERT_TRUE(port_->Send(Request(4, 0, 0, kTypeRead)));
  ASSERT_TRUE(sim_->WaitForRequests(2, 1s));
  ASSERT_TRUE(sim_->WaitUntilIdle(1s));
  std::lock_guard lock(m);
  EXPECT_EQ(seen, (std::vector<std::pair<std::uint64_t, std::size_t>>{{1, 17 + 19}, {2, 0}}));
}

// --- pacing ----------------------------------------------------------------------------------

double Ms(SteadyClock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

TEST(SimPacing, RepliesNoFasterThanTheLine) {
  UnitSimulator sim;  // 19200 baud, 5 ms answer delay
  ASSERT_TRUE(sim.Start());
  SimPort port(sim.DevicePath());
  ASSERT_TRUE(port.IsOpen());

  const auto sentAt = SteadyClock::now();
  ASSERT_TRUE(port.Send(Request(1, 0x0400, 256, kTypeRead)));
  const auto reply = port.ReadReply();
  ASSERT_TRUE(reply.has_value());
  ASSERT_TRUE(port.firstByteAt().has_value());
  const double byteMs = 10.0 * 1000.0 / 19200.0;
  const double firstByte = Ms(*port.firstByteAt() - sentAt);
  const double spread = Ms(port.lastByteAt() - *port.firstByteAt());
  const double expectedFirst = 17 * byteMs + 5.0 + byteMs;
  const double expectedSpread = (kHeaderSectionSize + 256 + 2 - 1) * byteMs;
  std::printf(
      "request to first reply byte %.1f ms (line %.1f ms), reply spread %.1f ms (line %.1f ms)\n",
      firstByte, expectedFirst, spread, expectedSpread);
  // The schedule is absolute, so bytes can only come late, never early; only lower bounds hold.
  EXPECT_GT(firstByte, 0.8 * expectedFirst);
  EXPECT_GT(spread, 0.8 * expectedSpread);

  ASSERT_TRUE(sim.WaitUntilIdle(1s));
  const SimStats stats = sim.Stats();
  EXPECT_EQ(stats.bytesReceived, kHeaderSectionSize);
  EXPECT_EQ(stats.bytesSent, kHeaderSectionSize + 256 + 2);
  EXPECT_EQ(stats.answerDelayTotal, 5ms);
}

TEST(SimPacing, UnpacedLineIsMuchFaster) {
  UnitSimulatorOptions options;
  options.baud = 0;
  options.answerDelay = 0us;
  UnitSimulator sim(options);
  ASSERT_TRUE(sim.Start());
  SimPort port(sim.DevicePath());
  const auto sentAt = SteadyClock::now();
  for (std::uint32_t address = 0x0800; address < 0x0800 + 1280; address += 256) {
    ASSERT_TRUE(port.Ask(Request(1, address, 256, kTypeRead)));
  }
  const double took = Ms(SteadyClock::now() - sentAt);
  std::printf("five 256-byte reads unpaced: %.1f ms (at 19200 baud: %.1f ms)\n", took,
              5 * (17 + 275) * 10.0 * 1000.0 / 19200.0);
}

TEST(SimPacing, BaudChangeAppliesToTheNextReply) {
  UnitSimulatorOptions options;
  options.baud = 0;
  UnitSimulator sim(options);
  ASSERT_TRUE(sim.Start());
  SimPort port(sim.DevicePath());
  sim.Configure([](UnitSimulatorOptions& o) { o.baud = 2400; });
  const auto sentAt = SteadyClock::now();
  ASSERT_TRUE(port.Ask(Request(1, 0x0400, 64, kTypeRead)));
  const double took = Ms(SteadyClock::now() - sentAt);
  const double line = (17 + 64 + 2 + 17) * 10.0 * 1000.0 / 2400.0;
  std::printf("64-byte read at 2400 baud: %.1f ms (line %.1f ms)\n", took, line);
  EXPECT_GT(took, 0.8 * line);
}

TEST(SimLifecycle, StopsPromptlyWhileAReplyIsUnderWay) {
  UnitSimulator sim;
  ASSERT_TRUE(sim.Start());
  SimPort port(sim.DevicePath());
  ASSERT_TRUE(port.Send(Request(1, 0x0800, 4096, kTypeRead)));
  ASSERT_TRUE(sim.WaitForRequests(1, 1s));
  const auto before = SteadyClock::now();
  sim.Stop();
  std::printf("stop took %.2f ms\n", Ms(SteadyClock::now() - before));
  EXPECT_FALSE(sim.WaitForRequests(2, 10ms));
}

}  // namespace
}  // namespace telvora::test
