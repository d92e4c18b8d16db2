// telvora-cli: finds the unit, reads and writes its configuration, runs its queries.
#include "cli/cli.h"

#include <chrono>
#include <ctime>
#include <exception>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "app/headless_session.h"
#include "app/password_change.h"
#include "app/settings_file.h"
#include "link/block_io.h"
#include "link/commands.h"
#include "link/link_state.h"
#include "link/uart.h"
#include "pages/device_queries.h"
#include "platform/codepage.h"
#include "platform/event_loop.h"
#include "relay/net.h"
#include "relay/relay_query.h"
#include "relay/relay_state.h"
#include "resources/strings.h"
#include "tools/unit_simulator.h"

namespace telvora {

namespace {

constexpr const char* kUsage =
    "usage: telvora-cli [--port DEVICE|none] [--com N=DEVICE]... [--password TEXT] [--demo]\n"
    "                   [--relay-server HOST [--relay-user ID] [--relay-port N]] COMMAND [ARG]\n"
    "commands: ports | find | read FILE | write FILE | show FILE | firmware | imei | signal\n"
    "          | clock | set-clock | voltage | temperatures | credit CODE | set-password NEW\n"
    "firmware goes through the relay server when one is given and no port can be used (no\n"
    "unit found, or --port cannot be opened); --port none skips the search and takes the\n"
    "relay at once. The relay log goes to standard error. The user ID is empty unless given;\n"
    "the relay port is 80 unless given.\n";

struct Options {
  std::optional<std::string> port;
  std::u16string password = u"5807";
  bool demo = false;
  std::optional<std::string> relayServer;
  std::string relayUser;
  std::uint16_t relayPort = Cnet::kDefaultPort;
  std::string command;
  std::vector<std::string> args;
};

int Usage(std::ostream& err, const std::string& problem) {
  if (!problem.empty()) err << "telvora-cli: " << problem << "\n";
  err << kUsage;
  return kExitUsage;
}

// One line on standard error: the text the window shows for the same outcome.
int Fail(std::ostream& err, int stringId, int code) {
  err << String(stringId) << "\n";
  return code;
}

int FailTransfer(std::ostream& err, TransferOutcome outcome, bool write) {
  switch (outcome) {
    case TransferOutcome::kRefused:
      return Fail(err, kStrWrongPassword, kExitRefused);
    case TransferOutcome::kDone:
      return kExitDone;
    default:
      return Fail(err, write ? kStrWriteError : kStrReadError, kExitNoReply);
  }
}

int FailQuery(std::ostream& err, QueryStatus status) {
  return status == QueryStatus::kRefused ? Fail(err, kStrWrongPassword, kExitRefused)
                                         : Fail(err, kStrReadError, kExitNoReply);
}

std::size_t ExpectedArgs(const std::string& command) {
  if (command == "read" || command == "write" || command == "show" || command == "credit" ||
      command == "set-password") {
    return 1;
  }
  return 0;
}

bool KnownCommand(const std::string& c) {
  for (const char* known :
       {"ports", "find", "read", "write", "show", "firmware", "imei", "signal", "clock",
        "set-clock", "voltage", "temperatures", "credit", "set-password"}) {
    if (c == known) return true;
  }
  return false;
}

std::optional<int> IndexOfDevice(const std::string& device) {
  for (const auto& [number, path] : PortMap::Instance().Entries()) {
    if (path == device) return number - 1;
  }
  return std::nullopt;
}

int ReadConfiguration(HeadlessSession& s, const std::string& file, std::ostream& err) {
  SettingsImage image{};
  std::size_t offset = 0;
  for (const ConfigBlock& b : kConfigBlocks) {
    const BlockRead read =
        ReadBlock(s.engine(), s.password(), b.address, b.length, b.timeoutSeconds);
    // Nothing is written unless every block arrived whole.
    if (!read.result.complete) return FailTransfer(err, OutcomeOf(read.result), false);
    std::copy(read.bytes.begin(), read.bytes.end(), image.begin() + static_cast<long>(offset));
    offset += b.length;
  }
  const SettingsFileStatus saved = SaveSettingsFile(file, image);
  if (!saved.ok()) {
    err << saved.message << "\n";
    return kExitUsage;
  }
  return kExitDone;
}

int WriteConfiguration(HeadlessSession& s, const std::string& file, std::ostream& err) {
  const SettingsLoad load = LoadSettingsFile(file);
  if (!load.image) {
    err << String(kStrSettingsLoadError) << ": " << load.status.message << "\n";
    return kExitUsage;
  }
  std::size_t offset = 0;
  for (const ConfigBlock& b : kConfigBlocks) {
    const TransferResult r = WriteBlock(
        s.engine(), s.password(), b.address,
        std::span<const std::uint8_t>(load.image->data() + offset, b.length), b.timeoutSeconds);
    if (!r.complete) return FailTransfer(err, OutcomeOf(r), true);
    offset += b.length;
  }
  return kExitDone;
}

int RunQuery(HeadlessSession& s, const Options& o, std::ostream& out, std::ostream& err) {
  const std::string& c = o.command;
  QueryAnswer a;
  if (c == "firmware") {
    a = QueryText(s.engine(), s.password(), cmd::kFirmware);
  } else if (c == "imei") {
    a = QueryText(s.engine(), s.password(), cmd::kImei);
  } else if (c == "signal") {
    a = QueryText(s.engine(), s.password(), cmd::kSignal);
  } else if (c == "clock") {
    a = QueryClock(s.engine(), s.password());
  } else if (c == "voltage") {
    a = QueryVoltage(s.engine(), s.password());
  } else if (c == "temperatures") {
    a = QueryTemperatures(s.engine(), s.password());
  } else if (c == "credit") {
    a = QueryCredit(s.engine(), s.password(), Utf8ToUtf16(o.args[0]));
  } else if (c == "set-clock") {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    a = SetClock(s.engine(), s.password(), local);
    if (a.status == QueryStatus::kOk) {
      out << String(kStrDataWritten) << "\n";
      return kExitDone;
    }
  }
  if (a.status != QueryStatus::kOk) return FailQuery(err, a.status);
  out << Utf16ToUtf8(a.text) << "\n";
  if (c == "temperatures") out << Utf16ToUtf8(a.text2) << "\n";
  return kExitDone;
}

// Delivers the relay's status messages as the window does: each string to the relay log.
class RelayStatusSink final : public MessageHandler {
 public:
  void HandleMessage(unsigned message, std::uintptr_t, std::intptr_t lParam) override {
    if (message == WM_RELAY_STATUS) AppendRelayStatus(static_cast<int>(lParam));
  }
};

// The firmware query through the relay server: the log on standard error, the firmware text
// on standard output.
int RelayFirmware(const Options& o, std::ostream& out, std::ostream& err) {
  RelayStatusSink sink;
  HeadlessMessageLoop loop(&sink);
  MessageLoop* const previous = MainMessageLoop();
  SetMainMessageLoop(&loop);
  RelayServerName = Utf8ToUtf16(*o.relayServer);
  RelayUserId = Utf8ToUtf16(o.relayUser);
  ClearRelayLog();

  Cnet net;
  net.SetPort(o.relayPort);
  const QueryAnswer a = QueryFirmwareThroughRelay(net, o.password);
  // The status messages were posted while the query ran; they reach the log only now, as
  // they reach the window once the query has returned.
  unsigned long before = 0;
  do {
    before = loop.Dispatched();
    loop.DispatchUntil(std::chrono::steady_clock::now());
  } while (loop.Dispatched() != before);
  SetMainMessageLoop(previous);

  err << Utf16ToUtf8(RelayLogText());
  if (a.status != QueryStatus::kOk) return FailQuery(err, a.status);
  out << Utf16ToUtf8(a.text) << "\n";
  return kExitDone;
}

int SetUnitPassword(HeadlessSession& s, const std::string& newPassword, std::ostream& out,
                    std::ostream& err) {
  const std::u16string text = Utf8ToUtf16(newPassword);
  switch (ChangeUnitPassword(s.engine(), s.password(), text, text)) {
    case PasswordChange::kMistyped:
      return Fail(err, kStrPasswordMistyped, kExitUsage);
    case PasswordChange::kChanged:
      out << String(kStrDataWritten) << "\n";
      return kExitDone;
    case PasswordChange::kRefused:
      return Fail(err, kStrWrongPassword, kExitRefused);
    case PasswordChange::kNoReply:
    case PasswordChange::kOtherReply:
      break;
  }
  return Fail(err, kStrWriteError, kExitNoReply);
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Options o;
  PortMap& map = PortMap::Instance();
  map.ScanSystem();
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& into) {
      if (i + 1 >= args.size()) return false;
      into = args[++i];
      return true;
    };
    std::string v;
    if (a == "--port") {
      if (!value(v)) return Usage(err, "--port needs a device");
      o.port = v;
    } else if (a == "--com") {
      if (!value(v) || !map.SetFromArgument(v)) return Usage(err, "--com needs N=DEVICE");
    } else if (a == "--password") {
      if (!value(v)) return Usage(err, "--password needs a text");
      o.password = Utf8ToUtf16(v);
    } else if (a == "--demo") {
      o.demo = true;
    } else if (a == "--relay-server") {
      if (!value(v)) return Usage(err, "--relay-server needs a host");
      o.relayServer = v;
    } else if (a == "--relay-user") {
      if (!value(v)) return Usage(err, "--relay-user needs an ID");
      o.relayUser = v;
    } else if (a == "--relay-port") {
      unsigned long port = 0;
      std::size_t used = 0;
      if (!value(v)) return Usage(err, "--relay-port needs a number");
      try {
        port = std::stoul(v, &used);
      } catch (const std::exception&) {
        used = 0;
      }
      if (used == 0 || used != v.size() || port == 0 || port > 65535) {
        return Usage(err, "--relay-port wants 1 to 65535, not " + v);
      }
      o.relayPort = static_cast<std::uint16_t>(port);
    } else if (a == "-h" || a == "--help") {
      out << kUsage;
      return kExitDone;
    } else if (!a.empty() && a[0] == '-') {
      return Usage(err, "unknown option " + a);
    } else if (o.command.empty()) {
      o.command = a;
    } else {
      o.args.push_back(a);
    }
  }
  if (o.command.empty()) return Usage(err, "no command");
  if (!KnownCommand(o.command)) return Usage(err, "unknown command " + o.command);
  if (o.args.size() != ExpectedArgs(o.command)) return Usage(err, o.command + ": wrong arguments");
  const bool relayAllowed = o.relayServer.has_value() && o.command == "firmware";
  const bool noPort = o.port && *o.port == "none";
  if (noPort && !relayAllowed) {
    return Usage(err, "--port none needs --relay-server and the firmware command");
  }

  if (o.command == "show") {
    const SettingsLoad load = LoadSettingsFile(o.args[0]);
    if (!load.image) {
      err << String(kStrSettingsLoadError) << ": " << load.status.message << "\n";
      return kExitUsage;
    }
    out << SettingsFileToJson(*load.image) << "\n";
    return kExitDone;
  }

  std::unique_ptr<UnitSimulator> demo;
  if (o.demo) {
    demo = std::make_unique<UnitSimulator>();
    std::string problem;
    if (!demo->Start(&problem)) {
      err << "telvora-cli: the simulated unit cannot start: " << problem << "\n";
      return kExitNoReply;
    }
    map.Set(map.FirstFreeNumber(), demo->DevicePath());
  }

  if (o.command == "ports") {
    for (const auto& [number, device] : map.Entries())
      out << "com" << number << " " << device << "\n";
    return kExitDone;
  }

  if (noPort) return RelayFirmware(o, out, err);

  HeadlessSession session;
  session.SetPassword(o.password);
  if (o.port) {
    std::optional<int> index = IndexOfDevice(*o.port);
    if (!index) {
      map.Set(map.FirstFreeNumber(), *o.port);
      index = IndexOfDevice(*o.port);
    }
    if (!session.UsePort(*index)) {
      err << "telvora-cli: " << *o.port << " cannot be opened\n";
      if (relayAllowed) return RelayFirmware(o, out, err);
      return kExitNoReply;
    }
  } else if (!session.FindPort()) {
    if (relayAllowed) {
      err << String(kStrPortNotFound) << "\n";
      return RelayFirmware(o, out, err);
    }
    return Fail(err, kStrPortNotFound, kExitNoReply);
  }

  if (o.command == "find") {
    const int index = session.search().portIndex();
    out << "com" << index + 1 << " " << map.DeviceFor(index) << "\n";
    return kExitDone;
  }
  if (o.command == "read") return ReadConfiguration(session, o.args[0], err);
  if (o.command == "write") {
    const int code = WriteConfiguration(session, o.args[0], err);
    if (code == kExitDone) out << String(kStrDataWritten) << "\n";
    return code;
  }
  if (o.command == "set-password") return SetUnitPassword(session, o.args[0], out, err);
  return RunQuery(session, o, out, err);
}

}  // namespace telvora
