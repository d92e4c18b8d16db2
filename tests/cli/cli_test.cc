// telvora-cli against the simulated unit on a pseudo-terminal, run in-process.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/cli.h"
#include "link/uart.h"
#include "tools/unit_simulator.h"

namespace telvora {
namespace {

namespace fs = std::filesystem;

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UnitSimulatorOptions o;
    o.baud = 0;
    o.answerDelay = std::chrono::microseconds(200);
    sim_ = std::make_unique<UnitSimulator>(o);
    ASSERT_TRUE(sim_->Start());
    dir_ = fs::temp_directory_path() / ("telvora-cli-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    sim_->Stop();
    fs::remove_all(dir_);
    PortMap::Instance().ClearExplicit();
  }

  int Run(std::vector<std::string> args) {
    out_.str("");
    err_.str("");
    return RunCli(args, out_, err_);
  }
  std::vector<std::string> OnUnit(std::vector<std::string> args) {
    args.insert(args.begin(), {"--port", sim_->DevicePath()});
    return args;
  }
  std::vector<std::uint8_t> Memory() const {
    std::vector<std::uint8_t> all = sim_->ReadMemory(0x0400, 690);
    const auto numbers = sim_->ReadMemory(0x0800, 1280);
    const auto internet = sim_->ReadMemory(0x4000, 128);
    all.insert(all.end(), numbers.begin(), numbers.end());
    all.insert(all.end(), internet.begin(), internet.end());
    return all;
  }
  static std::vector<std::uint8_t> FileBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  std::unique_ptr<UnitSimulator> sim_;
  fs::path dir_;
  std::ostringstream out_;
  std::ostringstream err_;
};

TEST_F(CliTest, ReadThenWriteLeavesTheUnitUnchanged) {
  const fs::path file = dir_ / "unit.cfg";
  const auto before = Memory();
  ASSERT_EQ(Run(OnUnit({"read", file.string()})), kExitDone) << err_.str();
  EXPECT_EQ(FileBytes(file), before);
  sim_->ClearRequests();
  ASSERT_EQ(Run(OnUnit({"write", file.string()})), kExitDone) << err_.str();
  EXPECT_EQ(sim_->Requests().size(), 6U + 10U + 1U);
  EXPECT_EQ(Memory(), before);
}

TEST_F(CliTest, WrongPasswordExitsFourAndWritesNoFile) {
  const fs::path file = dir_ / "refused.cfg";
  EXPECT_EQ(Run(OnUnit({"--password", "1234", "read", file.string()})), kExitRefused);
  EXPECT_EQ(err_.str(), "nesprávné heslo\n");
  EXPECT_FALSE(fs::exists(file));
}

TEST_F(CliTest, ABlockThatDoesNotArriveWholeWritesNoFile) {
  const fs::path file = dir_ / "short.cfg";
  // The number table's third chunk comes back short.
  sim_->InjectAt(sim_->RequestCount() + 3 + 3, SimFault::ShortAnswer(10));
  EXPECT_EQ(Run(OnUnit({"read", file.string()})), kExitNoReply);
  EXPECT_EQ(err_.str(), "chyba čtení dat\n");
  EXPECT_FALSE(fs::exists(file));
}

TEST_F(CliTest, QueriesPrintWhatTheWindowShows) {
  sim_->Configure([](UnitSimulatorOptions& o) {
    o.voltageTenths = -15;
    o.temperature1Tenths = -5;
    o.temperature2Tenths = 235;
    o.firmware = "TELVORA 9.9";
  });
  sim_->SetClock({2024, 12, 9, 8, 5, 7}, false);
  struct Case {
    std::vector<std::string> args;
    std::string out;
  };
  const Case cases[] = {
      {{"firmware"}, "TELVORA 9.9\n"},     {{"voltage"}, "-1.-5\n"},
      {{"temperatures"}, "- 0.5\n23.5\n"}, {{"clock"}, "9.12. 2024  08:05:07\n"},
      {{"imei"}, "356938035643809\n"},     {{"signal"}, "23\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run(OnUnit(c.args)), kExitDone) << c.args[0] << err_.str();
    EXPECT_EQ(out_.str(), c.out) << c.args[0];
  }
}

TEST_F(CliTest, PortsListsAnEntryGivenWithCom) {
  EXPECT_EQ(Run({"--com", "5=" + sim_->DevicePath(), "ports"}), kExitDone);
  EXPECT_NE(out_.str().find("com5 " + sim_->DevicePath() + "\n"), std::string::npos);
}

TEST_F(CliTest, SetPasswordSendsCommandSevenAndChecksItsLength) {
  EXPECT_EQ(Run(OnUnit({"set-password", "12345"})), kExitUsage);
  EXPECT_EQ(sim_->RequestCount(), 0U);
  ASSERT_EQ(Run(OnUnit({"set-password", "4321"})), kExitDone) << err_.str();
  const auto got = sim_->Requests();
  ASSERT_EQ(got.size(), 1U);
  EXPECT_EQ(got[0].header.command, 7);
  EXPECT_EQ(got[0].header.address, 128U);
  EXPECT_EQ(got[0].payload, (std::vector<std::uint8_t>{'4', '3', '2', '1', 0}));
  EXPECT_EQ(Run(OnUnit({"firmware"})), kExitRefused);
  EXPECT_EQ(Run(OnUnit({"--password", "4321", "firmware"})), kExitDone);
}

TEST_F(CliTest, UsageErrorsAndBadSettingsFilesExitTwo) {
  const fs::path shortFile = dir_ / "short.cfg";
  std::ofstream(shortFile, std::ios::binary) << std::string(2097, 'x');
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"frobnicate"},
      {"read"},
      {"--com", "x=y", "ports"},
      {"show", shortFile.string()},
      {"show", (dir_ / "missing.cfg").string()},
      {"--port", sim_->DevicePath(), "write", shortFile.string()},
  };
  for (const auto& args : cases) {
    EXPECT_EQ(Run(args), kExitUsage) << (args.empty() ? "" : args[0]);
    EXPECT_FALSE(err_.str().empty());
  }
  EXPECT_EQ(sim_->RequestCount(), 0U);
}

TEST_F(CliTest, ShowListsEveryBlock) {
  const fs::path file = dir_ / "shown.cfg";
  ASSERT_EQ(Run(OnUnit({"read", file.string()})), kExitDone);
  ASSERT_EQ(Run({"show", file.string()}), kExitDone);
  const std::string json = out_.str();
  for (const char* key : {"\"basic\"", "\"userName\"", "\"exitDelay\"", "\"numbers\"",
                          "\"ringLength\"", "\"smsMask\"", "\"internet\"", "\"serverName\""}) {
    EXPECT_NE(json.find(key), std::string::npos) << key;
  }
}

}  // namespace
}  // namespace telvora
