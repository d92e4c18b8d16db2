// The Czech string table of the configurator: every user-visible text, looked up by number.
#pragma once

#include <span>
#include <string_view>

namespace telvora {

// Caption of the main window.
inline constexpr std::string_view kAppTitle = "Telvora v14-01-21-CZ";

// Numbers of the strings that code refers to by name; the table holds more.
inline constexpr int kStrTransferRunning = 3;    // "přenos "
inline constexpr int kStrDataRead = 5;           // "data načtena "
inline constexpr int kStrReadError = 6;          // "chyba čtení dat"
inline constexpr int kStrDataWritten = 7;        // "data uložena"
inline constexpr int kStrWriteError = 8;         // "chyba uložení dat"
inline constexpr int kStrWrongPassword = 9;      // "nesprávné heslo"
inline constexpr int kStrSearchingPort = 10;     // "vyhledávání portu"
inline constexpr int kStrPasswordMismatch = 12;  // "aktivní"
inline constexpr int kStrPortFound = 16;         // "port nalezen !"
inline constexpr int kStrPortNotFound = 17;      // "port nenalezen ! "
inline constexpr int kStrSettingsLoadError = 29;
inline constexpr int kStrSettingsSaveTitle = 30;
inline constexpr int kStrSettingsSaved = 31;
inline constexpr int kStrSettingsLoaded = 32;
inline constexpr int kStrImeiUnread = 36;     // "nenačteno"
inline constexpr int kStrSocketClosed = 199;  // "socket ukončen"
inline constexpr int kStrDefaultRelayHost = 202;
inline constexpr int kStrDefaultRelayUser = 203;
inline constexpr int kStrTransferEnd = 215;  // "konec přenosu"

// UTF-8 text of string `id`, empty for a number the table does not hold.
std::string_view String(int id);

// The same text as UTF-16, for the controls, which hold UTF-16 text.
std::u16string_view StringU16(int id);

// Every number the table holds, ascending.
struct StringEntry {
  int id;
  std::string_view text;
};
std::span<const StringEntry> StringTable();

}  // namespace telvora
