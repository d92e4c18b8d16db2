// Starts `telvora --demo`, lets it find the simulated unit, then prints the share of one
// core the idle window uses over ten seconds.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace {

// User plus system time of a process, in clock ticks.
long CpuTicks(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(stat, line);
  const auto close = line.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream rest(line.substr(close + 2));
  std::string field;
  long utime = 0;
  long stime = 0;
  for (int i = 3; i <= 15 && rest >> field; ++i) {
    if (i == 14) utime = std::stol(field);
    if (i == 15) stime = std::stol(field);
  }
  return utime + stime;
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
  if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
  }
  const pid_t pid = fork();
  if (pid == 0) {
    execl(TELVORA_PROGRAM, "telvora", "--demo", static_cast<char*>(nullptr));
    _exit(127);
  }
  // Start-up and the port search (a few hundred milliseconds per opened port) first.
  std::this_thread::sleep_for(std::chrono::seconds(4));
  const long hz = sysconf(_SC_CLK_TCK);
  const long before = CpuTicks(pid);
  const auto t0 = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const long after = CpuTicks(pid);
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
  if (before < 0 || after < 0) {
    std::fprintf(stderr, "the window did not start\n");
    return 1;
  }
  const double cpu = static_cast<double>(after - before) / static_cast<double>(hz);
  std::printf("idle window: %.2f s CPU over %.1f s wall = %.2f %% of one core\n", cpu, wall,
              100.0 * cpu / wall);
  return 0;
}
