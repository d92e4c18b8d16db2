// Full configuration transfers against the paced simulated unit (a separate process, so
// only the tool's own CPU is counted), and the receive parser's throughput.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/headless_session.h"
#include "link/block_io.h"
#include "link/commands.h"
#include "link/link_state.h"
#include "link/uart.h"

namespace telvora {
namespace {

constexpr double kSecondsPerByte = 10.0 / 19200.0;
constexpr double kAnswerDelaySeconds = 0.005;

// The paced unit as its own program, for as long as the benchmarks run.
class SimProcess {
 public:
  SimProcess() {
    int out[2];
    if (pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], STDOUT_FILENO);
      close(out[0]);
      execl(TELVORA_SIM_PROGRAM, "telvora-sim", "--baud", "19200", "--delay-ms", "5",
            static_cast<char*>(nullptr));
      _exit(127);
    }
    close(out[1]);
    FILE* f = fdopen(out[0], "r");
    char line[256] = {};
    if (f != nullptr && std::fgets(line, sizeof line, f) != nullptr) {
      device_ = line;
      while (!device_.empty() && (device_.back() == '\n' || device_.back() == '\r')) {
        device_.pop_back();
      }
    }
  }
  ~SimProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  const std::string& device() const { return device_; }

 private:
  pid_t pid_ = -1;
  std::string device_;
};

double CpuSeconds() {
  rusage r{};
  getrusage(RUSAGE_SELF, &r);
  auto s = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  return s(r.ru_utime) + s(r.ru_stime);
}

// Bytes on the line in both directions, and the unit's answer delays, for one direction
// of a full configuration transfer.
double WireSeconds(bool write) {
  double seconds = 0;
  for (const ConfigBlock& b : kConfigBlocks) {
    const std::uint32_t chunk = write ? kWriteChunk : kReadChunk;
    for (std::uint32_t done = 0; done < b.length; done += chunk) {
      const std::uint32_t c = std::min(chunk, b.length - done);
      const double bytes = write ? (17.0 + c + 2 + 17) : (17.0 + 17 + c + 2);
      seconds += bytes * kSecondsPerByte + kAnswerDelaySeconds;
    }
  }
  return seconds;
}

void FullTransfer(benchmark::State& state, bool write) {
  static SimProcess sim;
  if (sim.device().empty()) {
    state.SkipWithError("the simulated unit did not start");
    return;
  }
  PortMap::Instance().ClearDefaults();
  PortMap::Instance().Set(1, sim.device());
  HeadlessSession session;
  if (!session.UsePort(0)) {
    state.SkipWithError("the simulated unit's port does not open");
    return;
  }
  std::vector<std::vector<std::uint8_t>> image;
  for (const ConfigBlock& b : kConfigBlocks) {
    image.push_back(
        ReadBlock(session.engine(), u"5807", b.address, b.length, b.timeoutSeconds).bytes);
  }
  double wall = 0;
  double cpu = 0;
  bool ok = true;
  for (auto _ : state) {
    const double cpu0 = CpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < kConfigBlocks.size(); ++i) {
      const ConfigBlock& b = kConfigBlocks[i];
      if (write) {
        ok = ok &&
             WriteBlock(session.engine(), u"5807", b.address, image[i], b.timeoutSeconds).complete;
      } else {
        ok = ok && ReadBlock(session.engine(), u"5807", b.address, b.length, b.timeoutSeconds)
                       .result.complete;
      }
    }
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    cpu += CpuSeconds() - cpu0;
  }
  if (!ok) state.SkipWithError("a transfer failed");
  const double n = static_cast<double>(state.iterations());
  state.counters["wall_s"] = wall / n;
  state.counters["wire_limit_s"] = WireSeconds(write);
  state.counters["ratio"] = (wall / n) / WireSeconds(write);
  state.counters["cpu_share_pct"] = 100.0 * cpu / wall;
}

void BM_FullConfigurationRead(benchmark::State& state) {
  FullTransfer(state, false);
}
void BM_FullConfigurationWrite(benchmark::State& state) {
  FullTransfer(state, true);
}
BENCHMARK(BM_FullConfigurationRead)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FullConfigurationWrite)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReceiveParser(benchmark::State& state) {
  std::vector<std::uint8_t> stream;
  while (stream.size() < (1U << 20)) {
    std::vector<std::uint8_t> payload(256);
    for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<std::uint8_t>(i);
    const auto frame = EncodeFrame(MakeRequest(1, 0x0800, 256, kTypeAccepted), payload);
    stream.insert(stream.end(), frame.begin(), frame.end());
  }
  SetMainMessageLoop(nullptr);
  Cfin engine;
  for (auto _ : state) {
    RxPayloadCursor = TransferBuffer.data();
    for (std::uint8_t b : stream) engine.ParseByte(b);
    benchmark::DoNotOptimize(LastReplyHeader);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(stream.size()));
}
BENCHMARK(BM_ReceiveParser)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace telvora

BENCHMARK_MAIN();
