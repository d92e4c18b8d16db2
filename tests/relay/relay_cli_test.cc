// telvora-cli's firmware query through an in-process relay server and a simulated unit.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "cli/cli.h"
#include "link/uart.h"
#include "tools/relay_server.h"
#include "tools/unit_simulator.h"

namespace telvora {
namespace {

class RelayCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UnitSimulatorOptions o;
    o.baud = 0;
    o.answerDelay = std::chrono::microseconds(200);
    o.firmware = "TELVORA 7.7";
    sim_ = std::make_unique<UnitSimulator>(o);
    ASSERT_TRUE(sim_->Start());
    RelayServerOptions ro;
    ro.listenAddress = "127.0.0.1";
    ro.port = 0;
    ro.unitDevice = sim_->DevicePath();
    server_ = std::make_unique<RelayServer>(ro);
    ASSERT_TRUE(server_->Start());
  }
  void TearDown() override {
    server_->Stop();
    sim_->Stop();
    PortMap::Instance().ClearExplicit();
  }

  int Run(const std::vector<std::string>& args) {
    out_.str("");
    err_.str("");
    return RunCli(args, out_, err_);
  }
  std::string Port() const { return std::to_string(server_->Port()); }

  std::unique_ptr<UnitSimulator> sim_;
  std::unique_ptr<RelayServer> server_;
  std::ostringstream out_;
  std::ostringstream err_;
};

TEST_F(RelayCliTest, FirmwareWithoutAPortGoesThroughTheRelay) {
  ASSERT_EQ(Run({"--port", "none", "--relay-server", "127.0.0.1", "--relay-port", Port(),
                 "--relay-user", "Telvora", "firmware"}),
            kExitDone)
      << err_.str();
  EXPECT_EQ(out_.str(), "TELVORA 7.7\n");
  const std::string log = err_.str();
  EXPECT_TRUE(log.starts_with("připojuji na internet\nInicializace WinSock\n")) << log;
  EXPECT_NE(log.find("GET 127.0.0.1/rd?sid=Telvora&crc=1234&rnd=9877\r\n\r\n"), std::string::npos);
  EXPECT_TRUE(log.ends_with("000000c8\nkonec přenosu\nsocket ukončen\n")) << log;
  EXPECT_EQ(sim_->Requests().size(), 1U);
}

TEST_F(RelayCliTest, APortThatCannotBeOpenedFallsBackToTheRelay) {
  ASSERT_EQ(Run({"--port", "/dev/telvora-no-such-port", "--relay-server", "127.0.0.1",
                 "--relay-port", Port(), "firmware"}),
            kExitDone)
      << err_.str();
  EXPECT_EQ(out_.str(), "TELVORA 7.7\n");
  EXPECT_TRUE(
      err_.str().starts_with("telvora-cli: /dev/telvora-no-such-port cannot be opened\n"
                             "připojuji na internet\n"))
      << err_.str();
}

TEST_F(RelayCliTest, ARelayThatCannotBeReachedEndsWithTheReadError) {
  server_->Stop();
  ASSERT_EQ(
      Run({"--port", "none", "--relay-server", "127.0.0.1", "--relay-port", Port(), "firmware"}),
      kExitNoReply);
  EXPECT_EQ(out_.str(), "");
  EXPECT_TRUE(err_.str().ends_with("chyba spojení se serverem\nsocket ukončen\nchyba čtení dat\n"))
      << err_.str();
}

TEST_F(RelayCliTest, TheRelayOptionsAreChecked) {
  struct Case {
    std::vector<std::string> args;
    std::string problem;
  };
  const Case cases[] = {
      {{"--port", "none", "firmware"}, "--port none needs --relay-server and the firmware command"},
      {{"--port", "none", "--relay-server", "h", "imei"},
       "--port none needs --relay-server and the firmware command"},
      {{"--relay-server", "h", "--relay-port", "0", "firmware"}, "--relay-port wants 1 to 65535"},
      {{"--relay-server", "h", "--relay-port", "80x", "firmware"}, "--relay-port wants 1 to 65535"},
      {{"--relay-server"}, "--relay-server needs a host"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run(c.args), kExitUsage) << c.problem;
    EXPECT_NE(err_.str().find(c.problem), std::string::npos) << err_.str();
  }
}

}  // namespace
}  // namespace telvora
