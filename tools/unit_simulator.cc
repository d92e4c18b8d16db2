// The simulated unit: one thread that models both directions of a 19200-baud line on a
// pseudo-terminal and answers each request the way the unit's firmware does.
#include "tools/unit_simulator.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <optional>
#include <utility>

#include "tools/sim_memory_image.h"

namespace telvora {
namespace {

using SteadyClock = std::chrono::steady_clock;
using std::chrono::nanoseconds;

constexpr std::uint8_t kCommandBlock = 1;
constexpr std::uint8_t kCommandClock = 2;
constexpr std::uint8_t kCommandSignal = 3;
constexpr std::uint8_t kCommandFirmware = 4;
constexpr std::uint8_t kCommandCredit = 5;
constexpr std::uint8_t kCommandImei = 6;
constexpr std::uint8_t kCommandPassword = 7;
constexpr std::uint8_t kCommandVoltage = 8;
constexpr std::uint8_t kCommandTemperatures = 10;
constexpr std::uint32_t kPasswordAddress = 128;
constexpr std::size_t kPasswordPayload = 5;
constexpr std::size_t kClockBytes = 6;
constexpr std::size_t kNoticeTextMax = 17;

// 8 data bits with a start and a stop bit.
nanoseconds ByteTime(unsigned baud) {
  if (baud == 0) {
    return nanoseconds{0};
  }
  return nanoseconds{10'000'000'000LL / baud};
}

// Request frames as the unit's receiver takes them: a frame starts at 0xAA, a write with a
// non-zero length carries its payload section, anything else ends after the header section.
class RequestParser {
 public:
  enum class Step { kMore, kRequest, kDropped };

  Step Feed(std::uint8_t b) {
    switch (state_) {
      case State::kIdle:
        if (b == kSyncByte) {
          fields_[0] = b;
          index_ = 1;
          sum_ = b;
          state_ = State::kHeader;
        }
        return Step::kMore;
      case State::kHeader:
        fields_[index_++] = b;
        sum_ = static_cast<std::uint8_t>(sum_ + b);
        if (index_ == kHeaderFieldsSize) {
          state_ = State::kHeaderChecksum;
        }
        return Step::kMore;
      case State::kHeaderChecksum:
        if (b != sum_) {
          return Drop();
        }
        state_ = State::kHeaderEnd;
        return Step::kMore;
      case State::kHeaderEnd:
        if (b != kLineFeed) {
          return Drop();
        }
        header_ = DecodeHeaderFields(fields_);
        payload_.clear();
        if (header_.type != kTypeWrite || header_.length == 0) {
          state_ = State::kIdle;
          return Step::kRequest;
        }
        if (header_.length > kMaxPayload) {
          return Drop();
        }
        remaining_ = header_.length;
        sum_ = 0;
        state_ = State::kPayload;
        return Step::kMore;
      case State::kPayload:
        payload_.push_back(b);
        sum_ = static_cast<std::uint8_t>(sum_ + b);
        if (--remaining_ == 0) {
          state_ = State::kPayloadChecksum;
        }
        return Step::kMore;
      case State::kPayloadChecksum:
        if (b != sum_) {
          return Drop();
        }
        state_ = State::kPayloadEnd;
        return Step::kMore;
      case State::kPayloadEnd:
        if (b != kLineFeed) {
          return Drop();
        }
        state_ = State::kIdle;
        return Step::kRequest;
    }
    return Step::kMore;
  }

  bool InFrame() const { return state_ != State::kIdle; }
  void Reset() { state_ = State::kIdle; }
  const FrameHeader& header() const { return header_; }
  std::vector<std::uint8_t> TakePayload() { return std::exchange(payload_, {}); }

 private:
  enum class State {
    kIdle,
    kHeader,
    kHeaderChecksum,
    kHeaderEnd,
    kPayload,
    kPayloadChecksum,
    kPayloadEnd
  };

  Step Drop() {
    state_ = State::kIdle;
    return Step::kDropped;
  }

  State state_ = State::kIdle;
  std::array<std::uint8_t, kHeaderFieldsSize> fields_{};
  std::size_t index_ = 0;
  std::uint8_t sum_ = 0;
  std::size_t remaining_ = 0;
  FrameHeader header_;
  std::vector<std::uint8_t> payload_;
};

// Bytes queued for the line; `gapBefore` keeps the line quiet after the previous segment.
struct OutSegment {
  std::vector<std::uint8_t> bytes;
  SteadyClock::time_point notBefore;
  nanoseconds gapBefore{0};
  std::size_t sent = 0;
  bool started = false;
  SteadyClock::time_point start;
  nanoseconds byteTime{0};

  // Byte i has fully left the wire at start + (i + 1) byte times.
  SteadyClock::time_point DueOf(std::size_t count) const {
    return start + byteTime * static_cast<std::int64_t>(count);
  }
};

struct PendingRequest {
  FrameHeader header;
  std::vector<std::uint8_t> payload;
  SteadyClock::time_point readyAt;
};

std::vector<std::uint8_t> TextPayload(std::string_view text) {
  std::vector<std::uint8_t> out(text.begin(), text.end());
  out.push_back(0);
  return out;
}

std::vector<std::uint8_t> NoticeLine(std::string_view text) {
  std::string line = "WRL: ";
  for (char c : text.substr(0, std::min(text.size(), kNoticeTextMax))) {
    if (c != '\r') {
      line.push_back(c);
    }
  }
  line += "\r\n";
  return {line.begin(), line.end()};
}

void AppendLe(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) {
    out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  }
}

std::tm ToTm(const UnitClock& c) {
  std::tm t{};
  t.tm_year = c.year - 1900;
  t.tm_mon = c.month - 1;
  t.tm_mday = c.day;
  t.tm_hour = c.hour;
  t.tm_min = c.minute;
  t.tm_sec = c.second;
  return t;
}

UnitClock FromTm(const std::tm& t) {
  return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}

// The PC's local wall clock counted as if it were UTC, so that offsets ignore time zones and
// daylight-saving changes.
std::time_t LocalWallSeconds() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return timegm(&local);
}

// The UTF-16 code units of a UTF-8 text; a byte that does not start a valid sequence is taken
// as the Latin-1 character of that value.
std::u16string Utf16Of(std::string_view utf8) {
  std::u16string out;
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    std::size_t extra = 0;
    char32_t cp = lead;
    bool valid = true;
    if (lead >= 0xF0 && lead < 0xF8) {
      extra = 3;
      cp = lead & 0x07U;
    } else if (lead >= 0xE0 && lead < 0xF0) {
      extra = 2;
      cp = lead & 0x0FU;
    } else if (lead >= 0xC0 && lead < 0xE0) {
      extra = 1;
      cp = lead & 0x1FU;
    } else if (lead >= 0x80) {
      valid = false;
    }
    if (i + extra >= utf8.size()) {
      valid = false;
    }
    for (std::size_t k = 1; valid && k <= extra; ++k) {
      const auto c = static_cast<unsigned char>(utf8[i + k]);
      valid = (c & 0xC0U) == 0x80U;
      cp = (cp << 6) | (c & 0x3FU);
    }
    if (!valid) {
      out.push_back(lead);
      ++i;
      continue;
    }
    if (cp > 0xFFFF) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FFU)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += extra + 1;
  }
  return out;
}

void CloseFd(int& fd) {
  if (fd >= 0) {
    ::close(fd);
  }
  fd = -1;
}

}  // namespace

struct UnitSimulator::Answer {
  struct Piece {
    std::vector<std::uint8_t> bytes;
    nanoseconds gapBefore{0};
  };
  std::vector<Piece> pieces;  // empty: the unit stays silent
  nanoseconds extraDelay{0};
};

UnitSimulator::UnitSimulator(UnitSimulatorOptions options)
    : options_(std::move(options)), memory_(kSimMemorySize) {
  password_ = PasswordBytes("5807");
  FillUnitMemory(memory_);
}

UnitSimulator::~UnitSimulator() {
  Stop();
}

bool UnitSimulator::Start(std::string* error) {
  auto fail = [&](const char* what) {
    if (error != nullptr) {
      *error = std::string(what) + ": " + std::strerror(errno);
    }
    CloseFd(master_);
    CloseFd(slave_);
    CloseFd(wakeFd_);
    CloseFd(watchFd_);
    return false;
  };
  if (thread_.joinable()) {
    return true;
  }
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (master_ < 0) {
    return fail("posix_openpt");
  }
  if (grantpt(master_) != 0) {
    return fail("grantpt");
  }
  if (unlockpt(master_) != 0) {
    return fail("unlockpt");
  }
  char name[128];
  if (ptsname_r(master_, name, sizeof name) != 0) {
    return fail("ptsname_r");
  }
  // The simulator keeps the slave open itself: the master then never reports a hang-up while
  // the tool has the port closed, and the line settings stay raw between the tool's opens.
  slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (slave_ < 0) {
    return fail("open slave");
  }
  termios tio{};
  if (tcgetattr(slave_, &tio) != 0) {
    return fail("tcgetattr");
  }
  cfmakeraw(&tio);
  cfsetispeed(&tio, B19200);
  cfsetospeed(&tio, B19200);
  tio.c_cflag |= CLOCAL | CREAD;
  if (tcsetattr(slave_, TCSANOW, &tio) != 0) {
    return fail("tcsetattr");
  }
  wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wakeFd_ < 0) {
    return fail("eventfd");
  }
  // A tool that takes the port exclusively leaves that mark on the terminal when it closes,
  // because our own descriptor keeps the terminal alive; each close is watched to clear it.
  watchFd_ = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
  if (watchFd_ >= 0 && inotify_add_watch(watchFd_, name, IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
    CloseFd(watchFd_);
  }
  {
    std::lock_guard lock(mutex_);
    devicePath_ = name;
    stopping_ = false;
    stats_ = {};
    requestCount_ = 0;
    requests_.clear();
    idle_ = true;
  }
  thread_ = std::thread([this] { Run(); });
  return true;
}

void UnitSimulator::Stop() {
  if (!thread_.joinable()) {
    return;
  }
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    Wake();
  }
  thread_.join();
  std::lock_guard lock(mutex_);
  CloseFd(watchFd_);
  CloseFd(wakeFd_);
  CloseFd(slave_);
  CloseFd(master_);
  idle_ = true;
  changed_.notify_all();
}

std::string UnitSimulator::DevicePath() const {
  std::lock_guard lock(mutex_);
  return devicePath_;
}

void UnitSimulator::Wake() const {
  if (wakeFd_ < 0) {
    return;
  }
  const std::uint64_t one = 1;
  // A full counter already means "wake up", so a failed write loses nothing.
  [[maybe_unused]] const auto n = ::write(wakeFd_, &one, sizeof one);
}

void UnitSimulator::Configure(const std::function<void(UnitSimulatorOptions&)>& change) {
  std::lock_guard lock(mutex_);
  change(options_);
  Wake();
}

UnitSimulatorOptions UnitSimulator::Options() const {
  std::lock_guard lock(mutex_);
  return options_;
}

void UnitSimulator::SetPassword(std::array<std::uint8_t, 4> bytes) {
  std::lock_guard lock(mutex_);
  password_ = bytes;
}

std::array<std::uint8_t, 4> UnitSimulator::Password() const {
  std::lock_guard lock(mutex_);
  return password_;
}

std::array<std::uint8_t, 4> UnitSimulator::PasswordBytes(std::string_view utf8) {
  FrameHeader h;
  SetPasswordBytes(h, Utf16Of(utf8));
  return h.password;
}

void UnitSimulator::SetClock(const UnitClock& clock, bool running) {
  std::lock_guard lock(mutex_);
  SetClockLocked(clock, running);
}

UnitClock UnitSimulator::Clock() const {
  std::lock_guard lock(mutex_);
  return ClockLocked();
}

void UnitSimulator::SetClockLocked(const UnitClock& clock, bool running) {
  std::tm t = ToTm(clock);
  const std::time_t target = timegm(&t);  // also normalises t
  clockOffset_ = std::chrono::seconds(target - LocalWallSeconds());
  clockRunning_ = running;
  frozenClock_ = FromTm(t);
}

UnitClock UnitSimulator::ClockLocked() const {
  if (!clockRunning_) {
    return frozenClock_;
  }
  const std::time_t now = LocalWallSeconds() + clockOffset_.count();
  std::tm t{};
  gmtime_r(&now, &t);
  return FromTm(t);
}

std::vector<std::uint8_t> UnitSimulator::ReadMemory(std::uint32_t address,
                                                    std::size_t length) const {
  std::lock_guard lock(mutex_);
  std::vector<std::uint8_t> out(length, 0xFF);
  for (std::size_t i = 0; i < length && address + i < memory_.size(); ++i) {
    out[i] = memory_[address + i];
  }
  return out;
}

void UnitSimulator::WriteMemory(std::uint32_t address, std::span<const std::uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  for (std::size_t i = 0; i < bytes.size() && address + i < memory_.size(); ++i) {
    memory_[address + i] = bytes[i];
  }
}

void UnitSimulator::InjectNext(const SimFault& fault, std::uint64_t count) {
  if (count == 0) {
    return;
  }
  std::lock_guard lock(mutex_);
  faults_.push_back({fault, requestCount_ + 1, requestCount_ + count});
}

void UnitSimulator::InjectAt(std::uint64_t requestNumber, const SimFault& fault) {
  std::lock_guard lock(mutex_);
  faults_.push_back({fault, requestNumber, requestNumber});
}

void UnitSimulator::ClearFaults() {
  std::lock_guard lock(mutex_);
  faults_.clear();
}

std::vector<ReceivedRequest> UnitSimulator::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void UnitSimulator::ClearRequests() {
  std::lock_guard lock(mutex_);
  requests_.clear();
}

std::uint64_t UnitSimulator::RequestCount() const {
  std::lock_guard lock(mutex_);
  return requestCount_;
}

bool UnitSimulator::WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return requests_.size() >= count; });
}

bool UnitSimulator::WaitUntilIdle(std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return idle_; });
}

void UnitSimulator::SetObserver(
    std::function<void(const ReceivedRequest&, const std::vector<std::uint8_t>&)> observer) {
  std::lock_guard lock(mutex_);
  observer_ = std::move(observer);
}

SimStats UnitSimulator::Stats() const {
  std::lock_guard lock(mutex_);
  return stats_;
}

std::vector<std::uint8_t> UnitSimulator::Execute(const FrameHeader& header,
                                                 const std::vector<std::uint8_t>& payload) {
  const bool read = header.type == kTypeRead;
  const bool write = header.type == kTypeWrite;
  std::vector<std::uint8_t> out;
  switch (header.command) {
    case kCommandBlock:
      if (read && header.length <= kMaxPayload) {
        out.assign(header.length, 0xFF);
        for (std::size_t i = 0; i < out.size() && header.address + i < memory_.size(); ++i) {
          out[i] = memory_[header.address + i];
        }
      } else if (write) {
        for (std::size_t i = 0; i < payload.size() && header.address + i < memory_.size(); ++i) {
          memory_[header.address + i] = payload[i];
        }
      }
      break;
    case kCommandClock:
      if (read) {
        const UnitClock c = ClockLocked();
        for (int v : {c.day, c.month, c.year - 2000, c.hour, c.minute, c.second}) {
          out.push_back(static_cast<std::uint8_t>(v));
        }
      } else if (write && payload.size() >= kClockBytes) {
        SetClockLocked(
            {2000 + payload[0], payload[1], payload[2], payload[3], payload[4], payload[5]},
            clockRunning_);
      }
      break;
    case kCommandSignal:
      if (read) {
        out = TextPayload(options_.signal);
      }
      break;
    case kCommandFirmware:
      if (read) {
        out = TextPayload(options_.firmware);
      }
      break;
    case kCommandCredit:
      if (write) {
        const auto end = std::find(payload.begin(), payload.end(), std::uint8_t{0});
        const std::string code(payload.begin(), end);
        std::string answer = options_.creditAnswer;
        const std::string_view placeholder = "{code}";
        if (const auto at = answer.find(placeholder); at != std::string::npos) {
          answer.replace(at, placeholder.size(), code);
        }
        out = TextPayload(answer);
      }
      break;
    case kCommandImei:
      if (read) {
        out = TextPayload(options_.imei);
      }
      break;
    case kCommandPassword:
      if (write && header.address == kPasswordAddress && payload.size() == kPasswordPayload) {
        std::copy_n(payload.begin(), password_.size(), password_.begin());
      }
      break;
    case kCommandVoltage:
      if (read) {
        AppendLe(out, static_cast<std::uint32_t>(options_.voltageTenths), 4);
      }
      break;
    case kCommandTemperatures:
      if (read) {
        AppendLe(out, static_cast<std::uint16_t>(options_.temperature1Tenths), 2);
        AppendLe(out, static_cast<std::uint16_t>(options_.temperature2Tenths), 2);
      }
      break;
    default:
      break;
  }
  return out;
}

UnitSimulator::Answer UnitSimulator::BuildAnswer(const FrameHeader& header,
                                                 const std::vector<std::uint8_t>& payload,
                                                 std::uint64_t number) {
  std::vector<SimFault> active;
  std::erase_if(faults_, [&](const ScheduledFault& f) {
    if (number >= f.first && number <= f.last) {
      active.push_back(f.fault);
    }
    return f.last <= number;
  });
  auto has = [&](SimFault::Kind kind) {
    return std::any_of(active.begin(), active.end(),
                       [&](const SimFault& f) { return f.kind == kind; });
  };

  Answer answer;
  if (has(SimFault::Kind::kSilent)) {
    return answer;
  }

  FrameHeader reply = header;
  reply.sync = kSyncByte;
  reply.type = kTypeAccepted;
  std::vector<std::uint8_t> data;
  if (has(SimFault::Kind::kRefuse) || header.password != password_) {
    reply.type = kTypeRefused;
  } else {
    data = Execute(header, payload);
  }
  for (const SimFault& f : active) {
    if (f.kind == SimFault::Kind::kShortAnswer && data.size() > f.bytes) {
      data.resize(f.bytes);
    }
  }
  reply.length = static_cast<std::uint32_t>(data.size());
  std::vector<std::uint8_t> frame = EncodeFrame(reply, data);
  if (has(SimFault::Kind::kBadHeaderChecksum)) {
    ++frame[kHeaderFieldsSize];
  }
  if (has(SimFault::Kind::kBadPayloadChecksum) && !data.empty()) {
    ++frame[kHeaderSectionSize + data.size()];
  }

  std::vector<std::uint8_t> lead;
  for (const SimFault& f : active) {
    if (f.kind == SimFault::Kind::kNoise) {
      for (std::size_t i = 0; i < f.bytes;) {
        noiseState_ ^= noiseState_ << 13;
        noiseState_ ^= noiseState_ >> 17;
        noiseState_ ^= noiseState_ << 5;
        const auto b = static_cast<std::uint8_t>(noiseState_ >> 24);
        if (b == kSyncByte || b == 'W') {
          continue;
        }
        lead.push_back(b);
        ++i;
      }
    } else if (f.kind == SimFault::Kind::kCorruptFrameBefore) {
      std::vector<std::uint8_t> broken = frame;
      ++broken[kHeaderFieldsSize];
      lead.insert(lead.end(), broken.begin(), broken.end());
    } else if (f.kind == SimFault::Kind::kNoticeBefore) {
      const auto line = NoticeLine(f.text);
      lead.insert(lead.end(), line.begin(), line.end());
    } else if (f.kind == SimFault::Kind::kNoticeInstead) {
      frame = NoticeLine(f.text);
    } else if (f.kind == SimFault::Kind::kExtraDelay) {
      answer.extraDelay += f.duration;
    }
  }

  std::vector<std::pair<std::size_t, nanoseconds>> pauses;
  for (const SimFault& f : active) {
    if (f.kind == SimFault::Kind::kPauseInFrame) {
      pauses.emplace_back(lead.size() + std::min(f.bytes, frame.size()), f.duration);
    }
  }
  std::sort(pauses.begin(), pauses.end());
  std::vector<std::uint8_t> all = std::move(lead);
  all.insert(all.end(), frame.begin(), frame.end());
  std::size_t from = 0;
  nanoseconds gap{0};
  for (const auto& [at, pause] : pauses) {
    if (at > from) {
      answer.pieces.push_back({{all.begin() + from, all.begin() + at}, gap});
      gap = nanoseconds{0};
      from = at;
    }
    gap += pause;
  }
  answer.pieces.push_back({{all.begin() + from, all.end()}, gap});
  return answer;
}

void UnitSimulator::Run() {
  RequestParser parser;
  std::deque<PendingRequest> pending;
  std::deque<OutSegment> out;
  SteadyClock::time_point inputLineFree{};
  SteadyClock::time_point outputLineFree{};
  SteadyClock::time_point lastByteAt{};
  SteadyClock::time_point lastWrite{};
  bool blocked = false;  // the pseudo-terminal's buffer was full at the last write
  bool masterOk = true;  // false after a read error, so that the loop cannot spin on it
  std::vector<std::uint8_t> buffer(4096);
  // A segment's schedule is fixed when it reaches the head of the queue: paced output follows
  // the line's own timetable, unpaced output waits only for its gap after the last write.
  auto startHead = [&](OutSegment& seg, unsigned baud) {
    if (seg.started) {
      return;
    }
    seg.started = true;
    seg.byteTime = ByteTime(baud);
    const auto lineFree = seg.byteTime == nanoseconds{0} ? lastWrite : outputLineFree;
    seg.start = std::max(seg.notBefore, lineFree + seg.gapBefore);
  };

  for (;;) {
    UnitSimulatorOptions opts;
    {
      std::lock_guard lock(mutex_);
      if (stopping_) {
        return;
      }
      opts = options_;
    }

    // When does something next fall due?
    std::optional<SteadyClock::time_point> deadline;
    auto consider = [&](SteadyClock::time_point t) {
      if (!deadline || t < *deadline) {
        deadline = t;
      }
    };
    if (!pending.empty()) {
      consider(pending.front().readyAt);
    }
    if (!out.empty() && !blocked) {
      OutSegment& seg = out.front();
      startHead(seg, opts.baud);
      const auto last = seg.DueOf(seg.bytes.size());
      consider(std::min(std::max(seg.DueOf(seg.sent + 1), lastWrite + opts.writeQuantum), last));
    }

    // A master that failed is left out of the poll: it would report an error on every pass.
    pollfd fds[3] = {
        {wakeFd_, POLLIN, 0},
        {masterOk ? master_ : -1, static_cast<short>(POLLIN | (blocked ? POLLOUT : 0)), 0},
        {watchFd_, POLLIN, 0}};
    timespec ts{};
    timespec* timeout = nullptr;
    if (deadline) {
      const auto left = std::max(nanoseconds{0}, *deadline - SteadyClock::now());
      ts.tv_sec = static_cast<time_t>(left.count() / 1'000'000'000);
      ts.tv_nsec = static_cast<long>(left.count() % 1'000'000'000);
      timeout = &ts;
    }
    const int ready = ppoll(fds, watchFd_ >= 0 ? 3 : 2, timeout, nullptr);
    if (ready < 0 && errno != EINTR) {
      return;
    }

    if ((fds[0].revents & POLLIN) != 0) {
      std::uint64_t count = 0;
      [[maybe_unused]] const auto n = ::read(wakeFd_, &count, sizeof count);
    }
    // Options changed during the wait apply to whatever the wait brought.
    {
      std::lock_guard lock(mutex_);
      if (stopping_) return;
      opts = options_;
    }
    if (watchFd_ >= 0 && (fds[2].revents & POLLIN) != 0) {
      alignas(inotify_event) char events[1024];
      while (::read(watchFd_, events, sizeof events) > 0) {
      }
      ioctl(slave_, TIOCNXCL);
    }
    if ((fds[1].revents & POLLOUT) != 0) {
      blocked = false;
    }

    // Bytes from the tool: each one finishes arriving a byte time after the line was free.
    if ((fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
      for (;;) {
        const ssize_t n = ::read(master_, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) {
          continue;
        }
        if (n <= 0) {
          if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
            masterOk = false;
            out.clear();
          }
          break;
        }
        const auto now = SteadyClock::now();
        const auto byteTime = ByteTime(opts.baud);
        std::uint64_t dropped = 0;
        if (parser.InFrame() && now - lastByteAt > opts.requestGapLimit) {
          parser.Reset();
          ++dropped;
        }
        lastByteAt = now;
        for (ssize_t i = 0; i < n; ++i) {
          inputLineFree = std::max(now, inputLineFree) + byteTime;
          const auto step = parser.Feed(buffer[static_cast<std::size_t>(i)]);
          if (step == RequestParser::Step::kRequest) {
            pending.push_back({parser.header(), parser.TakePayload(), inputLineFree});
          } else if (step == RequestParser::Step::kDropped) {
            ++dropped;
          }
        }
        std::lock_guard lock(mutex_);
        stats_.bytesReceived += static_cast<std::uint64_t>(n);
        stats_.malformedRequests += dropped;
      }
    }

    // Requests whose last byte has arrived are carried out and their replies queued.
    auto now = SteadyClock::now();
    while (!pending.empty() && pending.front().readyAt <= now) {
      PendingRequest req = std::move(pending.front());
      pending.pop_front();
      ReceivedRequest record;
      Answer answer;
      nanoseconds delay{0};
      std::function<void(const ReceivedRequest&, const std::vector<std::uint8_t>&)> observer;
      {
        std::lock_guard lock(mutex_);
        record = {++requestCount_, req.header, req.payload, req.readyAt};
        ++stats_.requests;
        answer = BuildAnswer(req.header, req.payload, record.number);
        delay = options_.answerDelay + answer.extraDelay;
        if (!answer.pieces.empty()) {
          ++stats_.replies;
          stats_.answerDelayTotal += delay;
          idle_ = false;
        }
        for (const auto& piece : answer.pieces) {
          stats_.pauseTotal += piece.gapBefore;
        }
        observer = observer_;
      }
      std::vector<std::uint8_t> replyBytes;
      for (auto& piece : answer.pieces) {
        replyBytes.insert(replyBytes.end(), piece.bytes.begin(), piece.bytes.end());
        OutSegment seg;
        seg.bytes = std::move(piece.bytes);
        seg.notBefore = req.readyAt + delay;
        seg.gapBefore = piece.gapBefore;
        out.push_back(std::move(seg));
      }
      // The record appears after the observer has run, so that a test which waits for it also
      // finds the observer's work done.
      if (observer) {
        observer(record, replyBytes);
      }
      {
        std::lock_guard lock(mutex_);
        requests_.push_back(std::move(record));
      }
      changed_.notify_all();
    }

    // Bytes whose time on the wire has come are handed to the tool's side.
    now = SteadyClock::now();
    while (!out.empty() && !blocked) {
      OutSegment& seg = out.front();
      startHead(seg, opts.baud);
      std::size_t due = 0;
      if (seg.byteTime == nanoseconds{0}) {
        due = now >= seg.start ? seg.bytes.size() : 0;
      } else if (now >= seg.start) {
        due =
            std::min(seg.bytes.size(), static_cast<std::size_t>((now - seg.start) / seg.byteTime));
      }
      while (seg.sent < due) {
        const ssize_t n = ::write(master_, seg.bytes.data() + seg.sent, due - seg.sent);
        if (n < 0 && errno == EINTR) {
          continue;
        }
        if (n <= 0) {
          blocked = true;
          break;
        }
        seg.sent += static_cast<std::size_t>(n);
        lastWrite = now;
        std::lock_guard lock(mutex_);
        stats_.bytesSent += static_cast<std::uint64_t>(n);
      }
      if (seg.sent < seg.bytes.size()) {
        break;
      }
      outputLineFree = seg.byteTime == nanoseconds{0} ? now : seg.DueOf(seg.bytes.size());
      out.pop_front();
    }

    const bool idle = pending.empty() && out.empty();
    bool becameIdle = false;
    {
      std::lock_guard lock(mutex_);
      becameIdle = idle && !idle_;
      idle_ = idle;
    }
    if (becameIdle) {
      changed_.notify_all();
    }
  }
}

}  // namespace telvora
