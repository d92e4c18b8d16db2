// The internet page.
#include "relay/internet_page.h"

#include "relay/relay_state.h"
#include "resources/templates.h"

namespace telvora {

namespace {
constexpr int kServerName = 1033;
constexpr int kUserId = 1184;
constexpr int kLogView = 1188;
}  // namespace

Cinternet::Cinternet(PageHost& host, QWidget* parent)
    : QtDialog(*FindTemplate(kInternetPageTemplate), parent), host_(host) {
  SetHandler(kServerName, Notification::kTextChanged,
             [this] { RelayServerName = GetText(kServerName); });
  SetHandler(kUserId, Notification::kTextChanged, [this] { RelayUserId = GetText(kUserId); });
  SetHandler(1189, Notification::kClicked, [this] { ClearLog(); });
}

std::vector<QWidget*> Cinternet::CommandControls() const { return Controls({1039, 1053}); }

void Cinternet::TakeRelaySettings() {
  RelayServerName = GetText(kServerName);
  RelayUserId = GetText(kUserId);
}

void Cinternet::AppendLog(std::u16string_view text) {
  AppendRelayLog(text);
  SetText(kLogView, RelayLogText());
}

void Cinternet::ClearLog() {
  ClearRelayLog();
  SetText(kLogView, u"");
}

}  // namespace telvora
