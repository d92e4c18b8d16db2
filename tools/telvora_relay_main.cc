// telvora-relay: a relay server that carries the configurator's relayed frames to a unit on a
// serial device, or to a simulated unit of its own.
//
// The first line of standard output is "listening on ADDRESS:PORT"; one line per request goes
// to standard error. The program serves until it receives SIGINT or SIGTERM.
#include <signal.h>

#include <charconv>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "tools/relay_server.h"
#include "tools/unit_simulator.h"

namespace {

void PrintUsage(std::FILE* to) {
  std::fputs(
      "usage: telvora-relay [--listen ADDRESS] [--port N] (--unit DEVICE | --demo)\n"
      "                     [--unit-timeout-ms N]\n"
      "Listens on ADDRESS (default 0.0.0.0) and port N (default 80; 0 takes any free port)\n"
      "for the configurator's relay requests and carries each frame to the unit on DEVICE\n"
      "(19200 baud), or with --demo to a simulated unit. Serves until SIGINT or SIGTERM.\n",
      to);
}

bool ParseNumber(std::string_view text, long& value) {
  const auto* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end;
}

}  // namespace

int main(int argc, char** argv) {
  telvora::RelayServerOptions options;
  bool demo = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      PrintUsage(stdout);
      return 0;
    }
    if (arg == "--demo") {
      demo = true;
      continue;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "telvora-relay: %s needs a value\n", argv[i]);
      PrintUsage(stderr);
      return 2;
    }
    const std::string_view value = argv[++i];
    long number = 0;
    if (arg == "--listen") {
      options.listenAddress = value;
    } else if (arg == "--unit") {
      options.unitDevice = value;
    } else if (arg == "--port") {
      if (!ParseNumber(value, number) || number < 0 || number > 65535) {
        std::fprintf(stderr, "telvora-relay: --port wants 0 to 65535, not \"%s\"\n", argv[i]);
        return 2;
      }
      options.port = static_cast<std::uint16_t>(number);
    } else if (arg == "--unit-timeout-ms") {
      if (!ParseNumber(value, number) || number < 1 || number > 600000) {
        std::fprintf(stderr, "telvora-relay: --unit-timeout-ms wants 1 to 600000, not \"%s\"\n",
                     argv[i]);
        return 2;
      }
      options.unitTimeout = std::chrono::milliseconds(number);
    } else {
      std::fprintf(stderr, "telvora-relay: unknown option %s\n", argv[i - 1]);
      PrintUsage(stderr);
      return 2;
    }
  }
  if (demo == !options.unitDevice.empty()) {
    std::fputs("telvora-relay: give either --unit DEVICE or --demo\n", stderr);
    PrintUsage(stderr);
    return 2;
  }

  // The signals are taken by sigwait below; blocking them first keeps the serving threads,
  // which inherit the mask, from being interrupted by them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  // A shell starts background programs with SIGINT ignored, and an ignored signal never
  // reaches sigwait; while blocked, the default action cannot end the program early.
  signal(SIGINT, SIG_DFL);
  signal(SIGTERM, SIG_DFL);

  std::unique_ptr<telvora::UnitSimulator> sim;
  if (demo) {
    sim = std::make_unique<telvora::UnitSimulator>();
    std::string error;
    if (!sim->Start(&error)) {
      std::fprintf(stderr, "telvora-relay: the simulated unit cannot start (%s)\n", error.c_str());
      return 1;
    }
    options.unitDevice = sim->DevicePath();
  }

  telvora::RelayServer server(options);
  server.SetLog(
      [](const std::string& line) { std::fprintf(stderr, "telvora-relay: %s\n", line.c_str()); });
  std::string error;
  if (!server.Start(&error)) {
    std::fprintf(stderr, "telvora-relay: %s\n", error.c_str());
    return 1;
  }
  std::printf("listening on %s:%u\n", options.listenAddress.c_str(),
              static_cast<unsigned>(server.Port()));
  std::fflush(stdout);

  int received = 0;
  sigwait(&stopSignals, &received);
  server.Stop();
  if (sim) {
    sim->Stop();
  }
  return 0;
}
