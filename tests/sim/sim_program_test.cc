// The telvora-sim program: its first line names the device, its options shape the unit, and a
// termination signal ends it cleanly.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <string>
#include <vector>

#include "tests/sim/sim_port.h"

namespace telvora::test {
namespace {

using namespace std::chrono_literals;

class SimProgram {
 public:
  explicit SimProgram(std::vector<std::string> args) {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
      return;
    }
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], STDOUT_FILENO);
      std::vector<char*> argv;
      std::string program = TELVORA_SIM_PROGRAM;
      argv.push_back(program.data());
      for (auto& a : args) {
        argv.push_back(a.data());
      }
      argv.push_back(nullptr);
      execv(program.c_str(), argv.data());
      _exit(127);
    }
    ::close(out[1]);
    stdout_ = out[0];
  }
  ~SimProgram() {
    if (pid_ > 0 && !reaped_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (stdout_ >= 0) {
      ::close(stdout_);
    }
  }

  // The first line of standard output, or empty when none comes.
  std::string FirstLine(std::chrono::milliseconds timeout) {
    std::string line;
    const auto deadline = SteadyClock::now() + timeout;
    while (line.empty() || line.back() != '\n') {
      const auto left = std::chrono::duration_cast<milliseconds>(deadline - SteadyClock::now());
      pollfd p{stdout_, POLLIN, 0};
      if (left.count() < 0 || ::poll(&p, 1, static_cast<int>(left.count()) + 1) <= 0) {
        return {};
      }
      char c = 0;
      if (::read(stdout_, &c, 1) != 1) {
        return {};
      }
      line.push_back(c);
    }
    line.pop_back();
    return line;
  }

  // The exit status after SIGTERM, or -1 when it does not end in time.
  int Terminate() {
    kill(pid_, SIGTERM);
    // The program's end closes its standard output; that end of file is the wait's wake-up.
    const auto deadline = SteadyClock::now() + 5s;
    bool ended = false;
    while (!ended) {
      const auto left = std::chrono::duration_cast<milliseconds>(deadline - SteadyClock::now());
      pollfd p{stdout_, POLLIN, 0};
      if (left.count() < 0 || ::poll(&p, 1, static_cast<int>(left.count()) + 1) <= 0) {
        break;
      }
      char sink[256];
      ended = ::read(stdout_, sink, sizeof sink) <= 0;
    }
    if (!ended) {
      kill(pid_, SIGKILL);
    }
    int status = 0;
    waitpid(pid_, &status, 0);
    reaped_ = true;
    return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  int stdout_ = -1;
  bool reaped_ = false;
};

TEST(SimProgramTest, AnswersWithItsOptionsAndEndsOnSigterm) {
  SimProgram program(
      {"--baud", "0", "--delay-ms", "0", "--firmware", "DEMO 1.0", "--password", "1111"});
  const std::string device = program.FirstLine(5s);
  ASSERT_FALSE(device.empty());
  SimPort port(device);
  ASSERT_TRUE(port.IsOpen()) << device;

  const auto refused = port.Ask(Request(4, 0, 0, kTypeRead, u"5807"));
  ASSERT_TRUE(refused.has_value());
  EXPECT_EQ(refused->header.type, kTypeRefused);
  const auto reply = port.Ask(Request(4, 0, 0, kTypeRead, u"1111"));
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->header.type, kTypeAccepted);
  std::string expected = "DEMO 1.0";
  expected.push_back('\0');
  EXPECT_EQ(std::string(reply->payload.begin(), reply->payload.end()), expected);

  EXPECT_EQ(program.Terminate(), 0);
}

TEST(SimProgramTest, RejectsABadNumberWithAMessage) {
  SimProgram program({"--baud", "fast"});
  EXPECT_TRUE(program.FirstLine(5s).empty());
  EXPECT_EQ(program.Terminate(), 2);
}

}  // namespace
}  // namespace telvora::test
