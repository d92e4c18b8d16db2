// The serial port, reader passes, the receive ring and the port search, on real
// pseudo-terminals.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "app/headless_session.h"
#include "link/commands.h"
#include "link/link_loop.h"
#include "link/link_state.h"
#include "link/uart.h"
#include "tools/unit_simulator.h"

namespace telvora {
namespace {

using Bytes = std::vector<std::uint8_t>;

UnitSimulatorOptions Fast() {
  UnitSimulatorOptions o;
  o.baud = 0;
  o.answerDelay = std::chrono::microseconds(100);
  return o;
}

class PortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim_.Start());
    PortMap::Instance().ClearDefaults();
    PortMap::Instance().ClearExplicit();
    SetMainMessageLoop(nullptr);
    WaitForReaderIdle();
    ResetRxRing();
  }
  void TearDown() override {
    port_.Close();
    WaitForReaderIdle();
    PortMap::Instance().ClearExplicit();
  }

  UnitSimulator sim_{Fast()};
  Cuart port_;
};

TEST_F(PortTest, OpenResultCodesAndHandleStates) {
  PortMap::Instance().Set(256, sim_.DevicePath());
  EXPECT_EQ(port_.Open(255, kBaudRate), 0);  // COM256
  EXPECT_EQ(PortHandle(), PortHandleState::kOpen);
  EXPECT_EQ(port_.Open(256, kBaudRate), 1);  // beyond COM256: nothing touched
  EXPECT_EQ(PortHandle(), PortHandleState::kOpen);
  PortMap::Instance().Set(3, "/dev/telvora-no-such-device");
  EXPECT_EQ(port_.Open(2, kBaudRate), 2);
  EXPECT_EQ(PortHandle(), PortHandleState::kNone);
  EXPECT_EQ(port_.Open(9, kBaudRate), 2);  // nothing mapped there
  EXPECT_EQ(PortHandle(), PortHandleState::kNone);
}

TEST_F(PortTest, PortMapArguments) {
  PortMap& map = PortMap::Instance();
  EXPECT_TRUE(map.SetFromArgument("7=/dev/ttyUSB3"));
  EXPECT_EQ(map.DeviceFor(6), "/dev/ttyUSB3");
  for (const char* bad : {"", "=x", "7=", "x=/dev/a", "0=/dev/a", "257=/dev/a", "7"}) {
    EXPECT_FALSE(map.SetFromArgument(bad)) << bad;
  }
}

TEST_F(PortTest, DefaultMapOrdersFamiliesThenNumbers) {
  const auto dir = std::filesystem::temp_directory_path() / "telvora-dev-test";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  for (const char* name : {"ttyS10", "ttyS2", "ttyACM0", "ttyUSB1", "ttyUSB0", "tty0", "null"}) {
    std::ofstream(dir / name).put('x');
  }
  PortMap& map = PortMap::Instance();
  map.ScanSystem(dir.string());
  const auto entries = map.Entries();
  const std::vector<std::string> expected = {"ttyUSB0", "ttyUSB1", "ttyACM0", "ttyS2", "ttyS10"};
  ASSERT_EQ(entries.size(), expected.size());
  int number = 1;
  for (const std::string& name : expected) {
    EXPECT_EQ(entries.at(number), (dir / name).string()) << number;
    ++number;
  }
  map.Set(2, "/dev/explicit");
  EXPECT_EQ(map.DeviceFor(1), "/dev/explicit");
  map.ClearDefaults();
  std::filesystem::remove_all(dir);
}

TEST_F(PortTest, APassMovesAtMost128BytesAndNeverWaits) {
  PortMap::Instance().Set(1, sim_.DevicePath());
  ASSERT_EQ(port_.Open(0, kBaudRate), 0);
  // A read of 281 bytes is answered with 17 + 281 + 2 = 300 bytes.
  FrameHeader h = MakeRequest(cmd::kBlock, 0x0800, 281, kTypeRead);
  Cfin::SetPassword(h, u"5807");
  ASSERT_TRUE(port_.Write(EncodeFrame(h, {})));
  ASSERT_TRUE(sim_.WaitUntilIdle(std::chrono::seconds(2)));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // let the pty deliver
  EXPECT_EQ(ReaderPassNow(), 128U);
  EXPECT_EQ(ReaderPassNow(), 128U);
  EXPECT_EQ(ReaderPassNow(), 44U);
  EXPECT_EQ(ReaderPassNow(), 0U);
  EXPECT_EQ(RxRing.writeIndex.load(), 300U);
  EXPECT_EQ(RxRing.bytes[0], kSyncByte);
}

TEST_F(PortTest, RingWrapsAfter16384Bytes) {
  PortMap::Instance().Set(1, sim_.DevicePath());
  ASSERT_EQ(port_.Open(0, kBaudRate), 0);
  RxRing.writeIndex.store(kRxRingSize - 5);
  RxRing.readIndex = kRxRingSize - 5;
  FrameHeader h = MakeRequest(cmd::kFirmware, 0, 0, kTypeRead);
  Cfin::SetPassword(h, u"5807");
  ASSERT_TRUE(port_.Write(EncodeFrame(h, {})));
  ASSERT_TRUE(sim_.WaitUntilIdle(std::chrono::seconds(2)));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const std::size_t n = ReaderPassNow();
  ASSERT_GT(n, 5U);
  EXPECT_EQ(RxRing.writeIndex.load(), n - 5);
  EXPECT_EQ(RxRing.bytes[kRxRingSize - 5], kSyncByte);
  // Draining follows the wrap: the parser sees one whole frame.
  Cfin engine;
  ResetLinkState();
  DrainReceiveRing(engine);
  EXPECT_EQ(RxRing.readIndex, RxRing.writeIndex.load());
  EXPECT_EQ(LastReplyHeader.command, cmd::kFirmware);
}

TEST_F(PortTest, PassWithoutPortStoresNothingAndClearsTheFlag) {
  port_.Close();
  ASSERT_EQ(PortHandle(), PortHandleState::kNone);
  StartReaderPass();
  WaitForReaderIdle();
  EXPECT_EQ(ReaderRunning.load(), 0);
  EXPECT_EQ(RxRing.writeIndex.load(), 0U);
}

TEST_F(PortTest, ClosingWhileAPassRunsEndsIt) {
  PortMap::Instance().Set(1, sim_.DevicePath());
  ASSERT_EQ(port_.Open(0, kBaudRate), 0);
  StartReaderPass();
  port_.Close();
  WaitForReaderIdle();
  EXPECT_EQ(ReaderRunning.load(), 0);
}

// The search over a map of dead devices with the unit at COM3, as the window runs it.
class SearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PortMap& map = PortMap::Instance();
    map.ClearDefaults();
    map.ClearExplicit();
  }
  void TearDown() override { PortMap::Instance().ClearExplicit(); }
};

TEST_F(SearchTest, FindsTheUnitAtCom3AndNeverTouchesCom4) {
  UnitSimulator unit(Fast());
  UnitSimulator silent(Fast());
  UnitSimulator beyond(Fast());
  ASSERT_TRUE(unit.Start() && silent.Start() && beyond.Start());
  silent.InjectNext(SimFault::Silent(), 100);
  PortMap& map = PortMap::Instance();
  map.Set(1, "/dev/telvora-missing");  // does not open: three ticks
  map.Set(2, silent.DevicePath());     // opens, never answers: ten ticks
  map.Set(3, unit.DevicePath());
  map.Set(4, beyond.DevicePath());
  HeadlessSession session;
  ASSERT_TRUE(session.FindPort());
  EXPECT_EQ(session.search().portIndex(), 2);
  EXPECT_EQ(session.selectedEntry(), 2);
  EXPECT_TRUE(session.indicator());
  const std::vector<std::u16string> expected = {u"#10", u"1", u"2", u"3", u"#16"};
  EXPECT_EQ(session.statusLog(), expected);
  EXPECT_EQ(beyond.RequestCount(), 0U);
  EXPECT_EQ(silent.RequestCount(), 1U);
  ASSERT_EQ(unit.Requests().size(), 1U);
  EXPECT_EQ(unit.Requests()[0].header.command, cmd::kFirmware);
  EXPECT_EQ(PortHandle(), PortHandleState::kOpen);
}

TEST_F(SearchTest, NoPortAtAllGivesUpWithNotOpen) {
  HeadlessSession session;
  EXPECT_FALSE(session.FindPort());
  EXPECT_EQ(session.search().state(), PortSearch::kGivenUp);
  EXPECT_EQ(session.selectedEntry(), PortSearch::kNotOpenEntry);
  EXPECT_FALSE(session.indicator());
  ASSERT_GE(session.statusLog().size(), 3U);
  EXPECT_EQ(session.statusLog()[session.statusLog().size() - 3], u"255");
  EXPECT_EQ(session.statusLog()[session.statusLog().size() - 2], u" ");
  EXPECT_EQ(session.statusLog().back(), u"box#17");
  EXPECT_EQ(PortHandle(), PortHandleState::kNone);
}

TEST_F(SearchTest, ManualChoiceAnnouncesWithoutAProbeAndNotOpenCloses) {
  UnitSimulator unit(Fast());
  ASSERT_TRUE(unit.Start());
  PortMap::Instance().Set(256, unit.DevicePath());
  HeadlessSession session;
  ASSERT_TRUE(session.UsePort(255));
  EXPECT_EQ(session.selectedEntry(), 255);
  EXPECT_TRUE(session.indicator());
  EXPECT_EQ(session.statusLog().back(), u"#16");
  EXPECT_EQ(unit.RequestCount(), 0U);
  EXPECT_FALSE(session.search().ChooseManually(PortSearch::kNotOpenEntry));
  EXPECT_FALSE(session.indicator());
  EXPECT_EQ(PortHandle(), PortHandleState::kNone);
  EXPECT_EQ(session.search().state(), PortSearch::kSettled);
}

}  // namespace
}  // namespace telvora
