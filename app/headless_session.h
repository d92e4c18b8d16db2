// The main window's loop without a window: the tick, the frame-complete handler and the
// port search, for the command line, the tests and the benchmarks.
#pragma once

#include <string>
#include <vector>

#include "app/port_search.h"
#include "link/fin.h"
#include "link/message_loop.h"
#include "link/uart.h"
#include "platform/event_loop.h"

namespace telvora {

class HeadlessSession final : public MessageHandler, public PortSearchView {
 public:
  // Installs itself as the main message loop and resets the link as start-up does.
  HeadlessSession();
  ~HeadlessSession() override;
  HeadlessSession(const HeadlessSession&) = delete;
  HeadlessSession& operator=(const HeadlessSession&) = delete;

  void SetPassword(std::u16string password) { password_ = std::move(password); }
  const std::u16string& password() const { return password_; }

  // Searches from COM1 until a unit answers or the search gives up; true when found.
  bool FindPort();
  // Opens the port at `index` without a probe; true when it opened.
  bool UsePort(int index);
  // Leaves the search idle (the port is chosen some other way).
  void StopSearch() { search_.Settle(); }

  Cfin& engine() { return engine_; }
  Cuart& port() { return port_; }
  PortSearch& search() { return search_; }
  HeadlessMessageLoop& loop() { return loop_; }

  // What the window would show; the command line prints it on failure.
  int lastStatusString() const { return lastStatusString_; }
  const std::u16string& lastStatusText() const { return lastStatusText_; }
  // Every status text and message box of the search, in order (for tests).
  const std::vector<std::u16string>& statusLog() const { return statusLog_; }
  int selectedEntry() const { return selectedEntry_; }
  bool indicator() const { return indicator_; }

  void HandleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;

  // PortSearchView
  void ShowStatusString(int stringId) override;
  void ShowStatusText(std::u16string_view text) override;
  void SetPortIndicator(bool checked) override { indicator_ = checked; }
  void SelectPortEntry(int index) override { selectedEntry_ = index; }
  void ShowMessageBoxString(int stringId) override;

 private:
  HeadlessMessageLoop loop_;
  Cuart port_;
  Cfin engine_;
  std::u16string password_ = u"5807";
  PortSearch search_;
  int lastStatusString_ = 0;
  std::u16string lastStatusText_;
  std::vector<std::u16string> statusLog_;
  int selectedEntry_ = -1;
  bool indicator_ = false;
};

}  // namespace telvora
