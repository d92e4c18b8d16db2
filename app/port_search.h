// The search for the port on which a unit answers, driven by the main loop's tick.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "link/fin.h"
#include "link/uart.h"

namespace telvora {

// What the search shows; the window and the command line each render it their way.
class PortSearchView {
 public:
  virtual ~PortSearchView() = default;
  virtual void ShowStatusString(int stringId) = 0;
  virtual void ShowStatusText(std::u16string_view text) = 0;
  virtual void SetPortIndicator(bool checked) = 0;
  // Index 0 is com1; kNotOpenEntry is "not open".
  virtual void SelectPortEntry(int index) = 0;
  virtual void ShowMessageBoxString(int stringId) = 0;
};

class PortSearch {
 public:
  enum State : int { kSearching = 0, kGivenUp = 1, kFound = 10, kSettled = 100 };
  static constexpr int kNotOpenEntry = 256;
  static constexpr int kStepTicks = 10;
  // The divider value that makes the first step come on the next tick.
  static constexpr int kRestartDivider = 5000;
  // A port that does not open is left after three ticks instead of ten.
  static constexpr int kFailedOpenDivider = 7;

  PortSearch(Cuart& port, Cfin& mainEngine, PortSearchView& view,
             std::function<std::u16string()> password);

  // Start-up and the "?" button: search again from COM1 on the next tick.
  void Restart();
  // The search's share of a tick (between counting the tick and starting a pass).
  void Tick();
  // WM_RX_FRAME: a firmware reply while searching marks the port as found.
  void OnFrameComplete();
  // A port chosen by hand; true when it opened.
  bool ChooseManually(int index);

  int state() const { return state_; }
  int portIndex() const { return portIndex_; }
  // Leaves the search idle without touching the port (tests drive the link alone).
  void Settle() { state_ = kSettled; }

 private:
  void SendProbe();

  Cuart& port_;
  Cfin& engine_;
  PortSearchView& view_;
  std::function<std::u16string()> password_;
  int state_ = kSearching;
  int divider_ = kRestartDivider;
  int portIndex_ = -1;
};

}  // namespace telvora
