// telvora-sim: a simulated unit on a pseudo-terminal for demos and manual runs of the tool.
//
// The first line of standard output is the device path to open. The program answers until it
// receives SIGINT or SIGTERM (standard input is not watched, so it can run in the background).
#include <signal.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "tools/unit_simulator.h"

namespace {

void PrintUsage(std::FILE* to) {
  std::fputs(
      "usage: telvora-sim [--baud N] [--delay-ms N] [--firmware TEXT] [--password TEXT]\n"
      "                   [--imei TEXT] [--signal TEXT] [--verbose]\n"
      "Prints the device path of a simulated unit on the first line and answers until\n"
      "SIGINT or SIGTERM. --baud 0 answers as fast as possible.\n",
      to);
}

bool ParseNumber(std::string_view text, long& value) {
  const auto* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end;
}

}  // namespace

int main(int argc, char** argv) {
  telvora::UnitSimulatorOptions options;
  std::string password = "5807";
  bool verbose = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      PrintUsage(stdout);
      return 0;
    }
    if (arg == "--verbose") {
      verbose = true;
      continue;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "telvora-sim: %s needs a value\n", argv[i]);
      PrintUsage(stderr);
      return 2;
    }
    const std::string_view value = argv[++i];
    long number = 0;
    if (arg == "--baud" || arg == "--delay-ms") {
      if (!ParseNumber(value, number) || number < 0 || number > 10'000'000) {
        std::fprintf(stderr, "telvora-sim: %s wants a whole number from 0 up, not \"%s\"\n",
                     argv[i - 1], argv[i]);
        return 2;
      }
      if (arg == "--baud") {
        options.baud = static_cast<unsigned>(number);
      } else {
        options.answerDelay = std::chrono::milliseconds(number);
      }
    } else if (arg == "--firmware") {
      options.firmware = value;
    } else if (arg == "--password") {
      password = value;
    } else if (arg == "--imei") {
      options.imei = value;
    } else if (arg == "--signal") {
      options.signal = value;
    } else {
      std::fprintf(stderr, "telvora-sim: unknown option %s\n", argv[i - 1]);
      PrintUsage(stderr);
      return 2;
    }
  }

  // The signals are taken by sigwait below; blocking them first keeps the simulator's thread,
  // which inherits the mask, from being interrupted by them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  telvora::UnitSimulator sim(options);
  sim.SetPassword(telvora::UnitSimulator::PasswordBytes(password));
  if (verbose) {
    sim.SetObserver([](const telvora::ReceivedRequest& r, const std::vector<std::uint8_t>& reply) {
      const auto type = r.header.type;
      std::fprintf(stderr, "#%llu command %u type %c address 0x%04X length %u payload %zu -> %s\n",
                   static_cast<unsigned long long>(r.number), r.header.command,
                   type >= 0x20 && type < 0x7F ? static_cast<char>(type) : '?', r.header.address,
                   r.header.length, r.payload.size(),
                   reply.empty() ? "no reply" : (std::to_string(reply.size()) + " bytes").c_str());
    });
  }
  std::string error;
  if (!sim.Start(&error)) {
    std::fprintf(stderr, "telvora-sim: cannot open a pseudo-terminal (%s)\n", error.c_str());
    return 1;
  }
  std::printf("%s\n", sim.DevicePath().c_str());
  std::fflush(stdout);

  int received = 0;
  sigwait(&stopSignals, &received);
  sim.Stop();
  const telvora::SimStats stats = sim.Stats();
  if (verbose) {
    std::fprintf(stderr, "telvora-sim: %llu requests, %llu bytes in, %llu bytes out\n",
                 static_cast<unsigned long long>(stats.requests),
                 static_cast<unsigned long long>(stats.bytesReceived),
                 static_cast<unsigned long long>(stats.bytesSent));
  }
  return 0;
}
