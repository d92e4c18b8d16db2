// A relay client with the window's part played by a headless loop: status messages are
// recorded and appended to the relay log as the main window appends them.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "link/link_state.h"
#include "link/message_loop.h"
#include "platform/codepage.h"
#include "platform/event_loop.h"
#include "relay/net.h"
#include "relay/relay_state.h"

namespace telvora::test {

class StatusRecorder final : public MessageHandler {
 public:
  void HandleMessage(unsigned message, std::uintptr_t, std::intptr_t lParam) override {
    if (message != WM_RELAY_STATUS) {
      return;
    }
    posted.push_back(static_cast<int>(lParam));
    AppendRelayStatus(static_cast<int>(lParam));
  }
  std::vector<int> posted;
};

class RelayFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetLinkState();
    ClearRelayLog();
    RelayServerName = u"127.0.0.1";
    RelayUserId = u"Telvora";
    SetMainMessageLoop(&loop_);
  }
  void TearDown() override {
    SetMainMessageLoop(nullptr);
    RelayServerName.clear();
    RelayUserId.clear();
  }

  // Hands the window the messages posted so far.
  void DeliverPosted() {
    unsigned long before = 0;
    do {
      before = loop_.Dispatched();
      loop_.DispatchUntil(std::chrono::steady_clock::now());
    } while (loop_.Dispatched() != before);
  }

  static std::string Log() { return Utf16ToUtf8(RelayLogText()); }

  StatusRecorder recorder_;
  HeadlessMessageLoop loop_{&recorder_};
  Cnet net_;
};

// The log lines of one connection that succeeds.
inline std::string ConnectedLines() {
  return "Inicializace WinSock\nSocket vytvořen\nHostname nalezen\nPřipojeno k serveru\n";
}

// The log of one request and its reply `reply` whose leading number is `value`.
inline std::string ExchangeLines(const std::string& request, const std::string& reply,
                                 const std::string& value, const std::string& hex) {
  return ConnectedLines() + request + "odeslana data\n" + reply + "\nodezva: " + value + "\n" +
         hex + "\n";
}

}  // namespace telvora::test
