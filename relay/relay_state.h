// The process-wide relay texts: the server, the user identifier and the relay log.
#pragma once

#include <string>
#include <string_view>

namespace telvora {

// Host name or dotted IPv4 address of the relay server; empty at start.
extern std::u16string RelayServerName;
// Names the unit at the relay server; empty at start.
extern std::u16string RelayUserId;
// The relay's progress, as lines ended by a line feed (request texts end with their own
// "\r\n\r\n"). Grows for the whole run; only ClearRelayLog empties it.
extern std::u16string RelayLog;

void AppendRelayLog(std::u16string_view text);
// The text followed by a line feed.
void AppendRelayLogLine(std::u16string_view text);
void ClearRelayLog();
const std::u16string& RelayLogText();

// What the main window does with a relay status message (WM_USER+3): the string of the
// table with a line feed goes to the log. Showing it in the status line is the window's part.
void AppendRelayStatus(int stringId);

}  // namespace telvora
