// The headless main loop.
#include "app/headless_session.h"

#include <string>

#include "app/main_loop.h"
#include "link/link_loop.h"
#include "relay/relay_state.h"

namespace telvora {

HeadlessSession::HeadlessSession()
    : loop_(this), search_(port_, engine_, *this, [this] { return password_; }) {
  ResetLinkForStartup();
  SetMainMessageLoop(&loop_);
  EnablePortDataNotices(true);
  loop_.StartTimer();
  search_.Settle();
}

HeadlessSession::~HeadlessSession() {
  loop_.StopTimer();
  port_.Close();
  WaitForReaderIdle();
  EnablePortDataNotices(false);
  if (MainMessageLoop() == &loop_) SetMainMessageLoop(nullptr);
}

bool HeadlessSession::FindPort() {
  search_.Restart();
  loop_.RunUntil([this] {
    return search_.state() == PortSearch::kSettled || search_.state() == PortSearch::kGivenUp;
  });
  return search_.state() == PortSearch::kSettled;
}

bool HeadlessSession::UsePort(int index) {
  const bool opened = search_.ChooseManually(index);
  // The next tick announces the port; run it so the state is settled on return.
  if (opened) loop_.RunUntil([this] { return search_.state() == PortSearch::kSettled; });
  return opened;
}

void HeadlessSession::HandleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
  if (HandleLinkMessage(message, wParam, engine_, search_)) return;
  if (message == WM_RELAY_STATUS) AppendRelayStatus(static_cast<int>(lParam));
}

void HeadlessSession::ShowStatusString(int stringId) {
  lastStatusString_ = stringId;
  lastStatusText_.clear();
  const std::string id = "#" + std::to_string(stringId);
  statusLog_.emplace_back(id.begin(), id.end());
}

void HeadlessSession::ShowStatusText(std::u16string_view text) {
  lastStatusString_ = 0;
  lastStatusText_ = text;
  statusLog_.emplace_back(text);
}

void HeadlessSession::ShowMessageBoxString(int stringId) {
  const std::string id = "box#" + std::to_string(stringId);
  statusLog_.emplace_back(id.begin(), id.end());
}

}  // namespace telvora
