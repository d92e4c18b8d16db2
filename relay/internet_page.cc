// The internet page.
#include "relay/internet_page.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <algorithm>

#include "link/block_io.h"
#include "link/commands.h"
#include "pages/shared_texts.h"
#include "resources/strings.h"

#include "relay/relay_state.h"
#include "resources/templates.h"

namespace telvora {

namespace {
constexpr int kServerName = 1033;
constexpr int kUserId = 1184;
constexpr int kLogView = 1188;
constexpr int kImeiButton = 1185;
constexpr int kLoadButton = 1039;
constexpr int kSaveButton = 1053;
constexpr int kClearLogButton = 1189;
constexpr int kTimeoutSeconds = 3;
}  // namespace

Cinternet::Cinternet(PageHost& host, QWidget* parent)
    : QtDialog(*FindTemplate(kInternetPageTemplate), parent), host_(host) {
  SetHandler(kServerName, Notification::kTextChanged,
             [this] { RelayServerName = GetText(kServerName); });
  SetHandler(kUserId, Notification::kTextChanged, [this] { RelayUserId = GetText(kUserId); });
  SetHandler(kImeiButton, Notification::kClicked, [this] { OnImeiToUser(); });
  SetHandler(kLoadButton, Notification::kClicked, [this] { OnLoadData(); });
  SetHandler(kSaveButton, Notification::kClicked, [this] { OnSaveData(); });
  SetHandler(kClearLogButton, Notification::kClicked, [this] { ClearLog(); });
  // The template gives the edits their default texts; the relay settings and the block
  // start from them.
  TakeRelaySettings();
  ClearLog();
  GatherInternetBlock(*this, block_);
}

void Cinternet::OnImeiToUser() {
  SetText(kUserId, ImeiText);
}

void Cinternet::OnLoadData() {
  auto scope = host_.BeginTransfer();
  if (!scope) return;
  host_.ShowStatusString(kStrTransferRunning);
  const BlockRead read = ReadBlock(engine_, host_.CurrentPassword(), kInternetAddress,
                                   kInternetLength, kTimeoutSeconds);
  if (!ReportBlockTransfer(host_, OutcomeOf(read.result), false)) return;
  UnpackBlock(
      std::span<const std::uint8_t, kInternetBlockSize>(read.bytes.data(), kInternetBlockSize));
}

void Cinternet::OnSaveData() {
  auto scope = host_.BeginTransfer();
  if (!scope) return;
  std::array<std::uint8_t, kInternetBlockSize> packed{};
  PackBlock(packed);
  host_.ShowStatusString(kStrTransferRunning);
  const TransferResult r =
      WriteBlock(engine_, host_.CurrentPassword(), kInternetAddress, packed, kTimeoutSeconds);
  ReportBlockTransfer(host_, OutcomeOf(r), true);
}

std::vector<QWidget*> Cinternet::CommandControls() const {
  return Controls({1039, 1053});
}

void Cinternet::TakeRelaySettings() {
  RelayServerName = GetText(kServerName);
  RelayUserId = GetText(kUserId);
}

void Cinternet::AppendLog(std::u16string_view text) {
  AppendRelayLog(text);
  SetText(kLogView, RelayLogText());
  // The newest line is the one the user wants to see.
  if (auto* view = qobject_cast<QPlainTextEdit*>(Control(kLogView))) {
    view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
  }
}

void Cinternet::ClearLog() {
  ClearRelayLog();
  SetText(kLogView, u"");
}

void Cinternet::PackBlock(std::span<std::uint8_t, kInternetBlockSize> destination) {
  GatherInternetBlock(*this, block_);
  std::copy(block_.bytes.begin(), block_.bytes.end(), destination.begin());
}

void Cinternet::UnpackBlock(std::span<const std::uint8_t, kInternetBlockSize> source) {
  std::copy(source.begin(), source.end(), block_.bytes.begin());
  SpreadInternetBlock(block_, *this);
  TakeRelaySettings();
}

}  // namespace telvora
