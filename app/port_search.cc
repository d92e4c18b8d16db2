// Port search: COM1 to COM255 in turn, a firmware request as the probe.
#include "app/port_search.h"

#include <string>

#include "link/commands.h"
#include "link/link_state.h"

namespace telvora {

namespace {
constexpr int kSearchGivesUpAt = 255;  // COM256 is offered by hand, never searched
constexpr int kStringSearching = 10;
constexpr int kStringFound = 16;
constexpr int kStringNotFound = 17;
}  // namespace

PortSearch::PortSearch(Cuart& port, Cfin& mainEngine, PortSearchView& view,
                       std::function<std::u16string()> password)
    : port_(port), engine_(mainEngine), view_(view), password_(std::move(password)) {}

void PortSearch::Restart() {
  state_ = kSearching;
  divider_ = kRestartDivider;
  portIndex_ = -1;
  view_.ShowStatusString(kStringSearching);
}

void PortSearch::Tick() {
  if (state_ == kSearching) {
    if (++divider_ < kStepTicks) return;
    divider_ = 0;
    ++portIndex_;
    if (portIndex_ >= kSearchGivesUpAt) {
      port_.Close();
      state_ = kGivenUp;
      view_.SetPortIndicator(false);
      view_.SelectPortEntry(kNotOpenEntry);
      view_.ShowStatusText(u" ");
      view_.ShowMessageBoxString(kStringNotFound);
      return;
    }
    const std::string number = std::to_string(portIndex_ + 1);
    view_.ShowStatusText(std::u16string(number.begin(), number.end()));
    port_.Close();
    if (port_.Open(portIndex_, kBaudRate) != 0) {
      divider_ = kFailedOpenDivider;
    } else {
      SendProbe();
    }
  } else if (state_ == kFound) {
    state_ = kSettled;
    view_.SelectPortEntry(portIndex_);
    view_.SetPortIndicator(true);
    view_.ShowStatusString(kStringFound);
  }
}

void PortSearch::SendProbe() {
  // Sent without waiting inside the tick: the reply is recognised when its frame
  // completes, and the search moves on at its own pace whether or not it comes.
  FrameHeader h = MakeRequest(cmd::kFirmware, 0, 0, kTypeRead);
  Cfin::SetPassword(h, password_());
  RxPayloadCursor = TransferBuffer.data();
  RxPayloadDiscard = false;
  engine_.ResetParser();
  (void)engine_.WriteFrame(h, nullptr, 0);
}

void PortSearch::OnFrameComplete() {
  const FrameHeader& h = engine_.DecodedHeader();
  if (h.sync == kSyncByte && h.command == cmd::kFirmware && state_ == kSearching) {
    state_ = kFound;
  }
}

bool PortSearch::ChooseManually(int index) {
  view_.SetPortIndicator(false);
  port_.Close();
  if (port_.Open(index, kBaudRate) != 0) return false;
  portIndex_ = index;
  state_ = kFound;
  view_.SetPortIndicator(true);
  return true;
}

}  // namespace telvora
