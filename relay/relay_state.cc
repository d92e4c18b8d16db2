// Definitions of the process-wide relay texts.
#include "relay/relay_state.h"

#include "resources/strings.h"

namespace telvora {

std::u16string RelayServerName;
std::u16string RelayUserId;
std::u16string RelayLog;

void AppendRelayLog(std::u16string_view text) {
  RelayLog.append(text);
}

void AppendRelayLogLine(std::u16string_view text) {
  RelayLog.append(text);
  RelayLog.push_back(u'\n');
}

void ClearRelayLog() {
  RelayLog.clear();
}

const std::u16string& RelayLogText() {
  return RelayLog;
}

void AppendRelayStatus(int stringId) {
  AppendRelayLogLine(StringU16(stringId));
}

}  // namespace telvora
