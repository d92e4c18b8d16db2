// A real link to a simulated unit over a pseudo-terminal: the simulator at com1, the
// headless main loop driving ticks, reader passes and the parser.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "app/headless_session.h"
#include "link/uart.h"
#include "tools/unit_simulator.h"

namespace telvora {

class SimulatedUnitTest : public ::testing::Test {
 protected:
  // Unpaced unless a test asks for the real line speed.
  static UnitSimulatorOptions FastOptions() {
    UnitSimulatorOptions o;
    o.baud = 0;
    o.answerDelay = std::chrono::microseconds(200);
    return o;
  }

  void StartUnit(UnitSimulatorOptions options = FastOptions()) {
    sim_ = std::make_unique<UnitSimulator>(options);
    std::string problem;
    ASSERT_TRUE(sim_->Start(&problem)) << problem;
    PortMap& map = PortMap::Instance();
    map.ClearDefaults();
    map.ClearExplicit();
    map.Set(1, sim_->DevicePath());
    session_ = std::make_unique<HeadlessSession>();
    ASSERT_TRUE(session_->UsePort(0));
  }

  void SetUp() override { StartUnit(); }

  void TearDown() override {
    session_.reset();
    if (sim_) sim_->Stop();
    PortMap::Instance().ClearExplicit();
  }

  Cfin& engine() { return session_->engine(); }

  std::unique_ptr<UnitSimulator> sim_;
  std::unique_ptr<HeadlessSession> session_;
};

}  // namespace telvora
