// Serial port state, COM map, receive ring and reader worker.
#include "link/uart.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <regex>
#include <thread>

#include "link/message_loop.h"
#include "platform/serial_port.h"

namespace telvora {

RxRingState RxRing;
std::atomic<int> ReaderRunning{0};

namespace {

std::atomic<PortHandleState> g_portState{PortHandleState::kNull};

SerialDevice& Device() {
  static SerialDevice device;
  return device;
}

// Moves up to 128 bytes that have already arrived into the ring; never waits.
std::size_t RunPass() {
  std::array<std::uint8_t, kReaderPassLimit> chunk{};
  std::size_t stored = 0;
  while (stored < kReaderPassLimit) {
    std::size_t got = 0;
    if (Device().ReadAvailable(chunk.data(), kReaderPassLimit - stored, got) != SerialRead::kData) {
      break;
    }
    std::uint32_t w = RxRing.writeIndex.load(std::memory_order_relaxed);
    for (std::size_t i = 0; i < got; ++i) {
      RxRing.bytes[w] = chunk[i];
      w = (w + 1) & kRxRingMask;
    }
    // The bytes are in place before the consumer can see the new index.
    RxRing.writeIndex.store(w, std::memory_order_release);
    stored += got;
  }
  return stored;
}

// A long-lived worker doing one pass per start request. Between passes it watches the
// port, so a waiting reply can be taken before the next tick.
class ReaderWorker {
 public:
  static ReaderWorker& Instance() {
    static ReaderWorker worker;
    return worker;
  }

  void RequestPass() {
    passRequested_.store(true, std::memory_order_release);
    Signal();
  }

  void WaitIdle() {
    std::unique_lock lock(idleMutex_);
    idleCv_.wait(lock, [] { return ReaderRunning.load(std::memory_order_acquire) == 0; });
  }

  void Wake() { Signal(); }

  void SetNotices(bool enable) {
    notices_.store(enable, std::memory_order_release);
    Signal();
  }

  // WM_PORT_DATA has been handled; another may be posted.
  void NoticeTaken() { noticePosted_.store(false, std::memory_order_release); }

 private:
  ReaderWorker() : eventFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), thread_([this] { Run(); }) {}
  ~ReaderWorker() {
    stopping_.store(true, std::memory_order_release);
    Signal();
    thread_.join();
    ::close(eventFd_);
  }

  void Signal() {
    const std::uint64_t one = 1;
    (void)!::write(eventFd_, &one, sizeof one);
  }

  void PostNotice() {
    if (!notices_.load(std::memory_order_acquire)) return;
    MessageLoop* loop = MainMessageLoop();
    if (loop == nullptr) return;
    if (noticePosted_.exchange(true, std::memory_order_acq_rel)) return;
    loop->Post(WM_PORT_DATA);
  }

  void FinishPass(std::size_t stored) {
    {
      std::lock_guard lock(idleMutex_);
      ReaderRunning.store(0, std::memory_order_release);
    }
    idleCv_.notify_all();
    if (stored > 0) PostNotice();
  }

  void Run() {
    using Clock = std::chrono::steady_clock;
    // A reply is complete when the line has been quiet for a few character times.
    constexpr auto kQuiet = std::chrono::milliseconds(2);
    bool armed = true;
    bool watchingQuiet = false;
    int lastWaiting = 0;
    Clock::time_point quietDeadline{};
    while (!stopping_.load(std::memory_order_acquire)) {
      std::array<pollfd, 2> fds{};
      fds[0] = {eventFd_, POLLIN, 0};
      nfds_t count = 1;
      const int portFd = Device().PollHandle();
      if (armed && notices_.load(std::memory_order_acquire) && portFd >= 0) {
        fds[1] = {portFd, POLLIN, 0};
        count = 2;
      }
      int timeout = -1;
      if (watchingQuiet) {
        // Rounded up: a timeout cut to 0 ms would make poll return at once, again and again.
        const auto left =
            std::chrono::duration_cast<std::chrono::microseconds>(quietDeadline - Clock::now());
        timeout = static_cast<int>(std::max<long>(0, (left.count() + 999) / 1000));
      }
      const int ready = ::poll(fds.data(), count, timeout);
      if (ready < 0 && errno != EINTR) break;
      if ((fds[0].revents & POLLIN) != 0) {
        std::uint64_t drained = 0;
        (void)!::read(eventFd_, &drained, sizeof drained);
      }
      if (passRequested_.exchange(false, std::memory_order_acq_rel)) {
        FinishPass(RunPass());
        armed = true;
        watchingQuiet = false;
        continue;
      }
      if (count == 2 && (fds[1].revents & (POLLIN | POLLERR | POLLHUP)) != 0) {
        // Stop watching the descriptor (it stays readable until a pass takes the
        // bytes) and wait for the line to go quiet instead.
        armed = false;
        if ((fds[1].revents & POLLIN) == 0) continue;  // vanished port: ticks find out
        watchingQuiet = true;
        lastWaiting = Device().BytesWaiting();
        quietDeadline = Clock::now() + kQuiet;
        continue;
      }
      if (watchingQuiet && Clock::now() >= quietDeadline) {
        const int waiting = Device().BytesWaiting();
        if (waiting <= 0) {
          watchingQuiet = false;
          armed = true;
        } else if (waiting == lastWaiting || waiting >= static_cast<int>(kReaderPassLimit)) {
          watchingQuiet = false;
          PostNotice();
        } else {
          lastWaiting = waiting;
          quietDeadline = Clock::now() + kQuiet;
        }
      }
    }
  }

  int eventFd_;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> passRequested_{false};
  std::atomic<bool> notices_{false};
  std::atomic<bool> noticePosted_{false};
  std::mutex idleMutex_;
  std::condition_variable idleCv_;
  std::thread thread_;
};

}  // namespace

PortHandleState PortHandle() {
  return g_portState.load(std::memory_order_acquire);
}

void ResetRxRing() {
  RxRing.writeIndex.store(0, std::memory_order_release);
  RxRing.readIndex = 0;
}

PortMap& PortMap::Instance() {
  static PortMap map;
  return map;
}

void PortMap::ScanSystem(const std::string& devDir) {
  defaults_.clear();
  int next = 1;
  for (const char* family : {"ttyUSB", "ttyACM", "ttyS"}) {
    std::vector<std::pair<long, std::string>> found;
    const std::regex pattern(std::string(family) + "([0-9]+)");
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(devDir, ec)) {
      const std::string name = entry.path().filename().string();
      std::smatch m;
      if (std::regex_match(name, m, pattern)) found.emplace_back(std::stol(m[1]), entry.path());
    }
    std::sort(found.begin(), found.end());
    for (const auto& [number, path] : found) {
      if (next > kPortCount) return;
      defaults_[next++] = path;
    }
  }
}

void PortMap::ClearDefaults() {
  defaults_.clear();
}

void PortMap::Set(int comNumber, const std::string& device) {
  if (device.empty()) {
    explicit_.erase(comNumber);
  } else {
    explicit_[comNumber] = device;
  }
}

void PortMap::ClearExplicit() {
  explicit_.clear();
}

std::string PortMap::DeviceFor(int portIndex) const {
  const int number = portIndex + 1;
  if (auto it = explicit_.find(number); it != explicit_.end()) return it->second;
  if (auto it = defaults_.find(number); it != defaults_.end()) return it->second;
  return {};
}

std::map<int, std::string> PortMap::Entries() const {
  std::map<int, std::string> all = defaults_;
  for (const auto& [number, device] : explicit_) all[number] = device;
  return all;
}

int PortMap::FirstFreeNumber() const {
  const auto all = Entries();
  int number = 1;
  while (all.count(number) != 0) ++number;
  return number;
}

bool PortMap::SetFromArgument(const std::string& argument) {
  const auto eq = argument.find('=');
  if (eq == std::string::npos || eq == 0 || eq + 1 >= argument.size()) return false;
  int number = 0;
  for (std::size_t i = 0; i < eq; ++i) {
    const char c = argument[i];
    if (c < '0' || c > '9') return false;
    number = number * 10 + (c - '0');
    if (number > kPortCount) return false;
  }
  if (number < 1) return false;
  Set(number, argument.substr(eq + 1));
  return true;
}

int Cuart::Open(int portIndex, int baudRate) {
  if (portIndex < 0 || portIndex + 1 > kPortCount) return 1;
  const std::string device = PortMap::Instance().DeviceFor(portIndex);
  if (device.empty()) {
    Device().Close();
    g_portState.store(PortHandleState::kNone, std::memory_order_release);
    return 2;
  }
  const SerialOpenResult result = Device().Open(device, baudRate);
  g_portState.store(Device().IsOpen() ? PortHandleState::kOpen : PortHandleState::kNone,
                    std::memory_order_release);
  ReaderWorker::Instance().Wake();  // watch the new descriptor
  return static_cast<int>(result);
}

void Cuart::Close() {
  Device().Close();
  g_portState.store(PortHandleState::kNone, std::memory_order_release);
}

bool Cuart::Write(std::span<const std::uint8_t> bytes) {
  return Device().Write(bytes);
}

void StartReaderPass() {
  ReaderRunning.store(1, std::memory_order_release);
  ReaderWorker::Instance().RequestPass();
}

void WaitForReaderIdle() {
  ReaderWorker::Instance().WaitIdle();
}

std::size_t ReaderPassNow() {
  return RunPass();
}

void EnablePortDataNotices(bool enable) {
  ReaderWorker::Instance().SetNotices(enable);
}

void PortDataNoticeTaken() {
  ReaderWorker::Instance().NoticeTaken();
}

}  // namespace telvora
