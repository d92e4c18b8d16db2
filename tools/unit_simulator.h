// A simulated Telvora unit behind a pseudo-terminal: the peer of every serial-line test and demo.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "link/frame_header.h"

namespace telvora {

// Where the unit keeps its configuration blocks, and how long they are.
inline constexpr std::uint32_t kSimBasicAddress = 0x0400;
inline constexpr std::size_t kSimBasicSize = 690;
inline constexpr std::uint32_t kSimNumbersAddress = 0x0800;
inline constexpr std::size_t kSimNumbersSize = 1280;
inline constexpr std::uint32_t kSimInternetAddress = 0x4000;
inline constexpr std::size_t kSimInternetSize = 128;
inline constexpr std::size_t kSimMemorySize = 0x10000;

// The unit's clock as its frames carry it; `year` is the full year.
struct UnitClock {
  int year = 2000;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;

  friend bool operator==(const UnitClock&, const UnitClock&) = default;
};

// What the unit answers and how fast; may be changed while it runs (UnitSimulator::Configure).
// Texts go out byte for byte, so a test can put Windows-1250 bytes into them.
struct UnitSimulatorOptions {
  // Line speed of both directions, 10 bits a byte; 0 sends and takes bytes as fast as possible.
  unsigned baud = 19200;
  // Time between the end of a request on the line and the start of its reply.
  std::chrono::microseconds answerDelay{5000};
  // Paced output is written in batches at most this often; the last byte of each frame still
  // goes out on time. 0 writes every byte at its own instant.
  std::chrono::microseconds writeQuantum{1000};
  // A request whose bytes stop for longer than this is dropped when the next byte comes.
  std::chrono::milliseconds requestGapLimit{500};
  std::string firmware = "TELVORA 14.01.21";
  std::string signal = "23";
  std::string imei = "356938035643809";
  // Answer to a balance code; "{code}" is replaced by the code the tool sent.
  std::string creditAnswer = "{code} Zustatek 123,45 Kc";
  std::int32_t voltageTenths = 124;
  std::int16_t temperature1Tenths = 215;
  std::int16_t temperature2Tenths = -35;
};

// One request as the unit took it from the line.
struct ReceivedRequest {
  std::uint64_t number = 0;  // 1 for the first request since Start
  FrameHeader header;
  std::vector<std::uint8_t> payload;
  // When its last byte had arrived on the modelled line.
  std::chrono::steady_clock::time_point takenAt;
};

// A misbehaviour of the unit for chosen requests. Several faults may apply to one request.
struct SimFault {
  enum class Kind {
    kRefuse,              // reply 'h' with length 0 whatever the password; nothing is carried out
    kSilent,              // no reply at all; the request is not carried out (lost on the line)
    kBadHeaderChecksum,   // the header checksum byte is off by one
    kBadPayloadChecksum,  // the payload checksum byte is off by one (no effect without payload)
    kNoise,               // `bytes` line-noise bytes (never 0xAA or 'W') before the reply
    kNoticeInstead,       // a "WRL: " notice line with `text` replaces the reply
    kNoticeBefore,        // a "WRL: " notice line with `text` comes before the reply
    kCorruptFrameBefore,  // a copy of the reply with a broken header checksum comes first
    kPauseInFrame,        // the line stays quiet for `duration` after `bytes` bytes of the frame
    kShortAnswer,         // the payload is cut to `bytes` bytes, with length and checksum to match
    kExtraDelay,          // the reply starts `duration` later than usual
  };
  Kind kind = Kind::kRefuse;
  std::size_t bytes = 0;
  std::chrono::milliseconds duration{0};
  std::string text;

  static SimFault Of(Kind kind, std::size_t bytes = 0, std::chrono::milliseconds duration = {},
                     std::string text = {}) {
    SimFault f;
    f.kind = kind;
    f.bytes = bytes;
    f.duration = duration;
    f.text = std::move(text);
    return f;
  }
  static SimFault Refuse() { return Of(Kind::kRefuse); }
  static SimFault Silent() { return Of(Kind::kSilent); }
  static SimFault BadHeaderChecksum() { return Of(Kind::kBadHeaderChecksum); }
  static SimFault BadPayloadChecksum() { return Of(Kind::kBadPayloadChecksum); }
  static SimFault Noise(std::size_t count) { return Of(Kind::kNoise, count); }
  static SimFault NoticeInstead(std::string text) {
    return Of(Kind::kNoticeInstead, 0, {}, std::move(text));
  }
  static SimFault NoticeBefore(std::string text) {
    return Of(Kind::kNoticeBefore, 0, {}, std::move(text));
  }
  static SimFault CorruptFrameBefore() { return Of(Kind::kCorruptFrameBefore); }
  static SimFault PauseInFrame(std::size_t afterBytes, std::chrono::milliseconds pause) {
    return Of(Kind::kPauseInFrame, afterBytes, pause);
  }
  static SimFault ShortAnswer(std::size_t keptBytes) { return Of(Kind::kShortAnswer, keptBytes); }
  static SimFault ExtraDelay(std::chrono::milliseconds delay) {
    return Of(Kind::kExtraDelay, 0, delay);
  }
};

// Totals since Start, for benchmarks that compare the tool's time with the time on the wire.
struct SimStats {
  std::uint64_t requests = 0;           // requests taken (recorded or not)
  std::uint64_t replies = 0;            // replies (or notice lines) put on the line
  std::uint64_t malformedRequests = 0;  // frames dropped for a bad checksum, line feed or gap
  std::uint64_t bytesReceived = 0;
  std::uint64_t bytesSent = 0;
  // The line's idle time the unit added between requests and replies (answer delay and
  // kExtraDelay faults), and the pauses that kPauseInFrame faults put inside replies.
  std::chrono::nanoseconds answerDelayTotal{0};
  std::chrono::nanoseconds pauseTotal{0};
};

// Byte-exact answers to the tool's commands over a pseudo-terminal whose slave side is the
// "serial port" the tool opens. Every public operation may be called from any thread.
//
// Commands: 1 r/w block read and write of the 64 KiB memory, 2 r/w clock, 3 r signal,
// 4 r firmware, 5 w balance code, 6 r IMEI, 7 w (address 128, 5 bytes) password, 8 r voltage,
// 10 r temperatures. A request with the wrong password gets 'h' and changes nothing. Any
// other command, or a known one with the other type, is answered 'a' with length 0 and changes
// nothing. Block reads past the end of memory read 0xFF; writes past it are dropped; a read of
// more than kMaxPayload bytes is answered 'a' with length 0. A reply repeats the request's
// password, command and address.
//
// The line: the simulator holds the slave side open itself, so replies sent while the tool has
// the port closed wait in the terminal until the next open (as a real port's driver might keep
// them: a tool should flush its input when it opens). A tool that takes the port exclusively
// (TIOCEXCL) gets the mark cleared when it closes, so that it can open the port again.
class UnitSimulator {
 public:
  explicit UnitSimulator(UnitSimulatorOptions options = {});
  ~UnitSimulator();
  UnitSimulator(const UnitSimulator&) = delete;
  UnitSimulator& operator=(const UnitSimulator&) = delete;

  // Opens the pseudo-terminal and starts answering; numbering, the record and the totals start
  // afresh. False with a message in `error` when the system has no pseudo-terminal to give.
  bool Start(std::string* error = nullptr);
  // Stops answering and closes the pseudo-terminal; also done by the destructor.
  void Stop();
  // The slave side, e.g. "/dev/pts/3"; empty before Start.
  std::string DevicePath() const;

  void Configure(const std::function<void(UnitSimulatorOptions&)>& change);
  UnitSimulatorOptions Options() const;

  // The four password bytes the unit expects (default "5807"); command 7 changes them.
  void SetPassword(std::array<std::uint8_t, 4> bytes);
  std::array<std::uint8_t, 4> Password() const;
  // Password bytes of a UTF-8 text, taken the tool's way: the low 8 bits of each character.
  static std::array<std::uint8_t, 4> PasswordBytes(std::string_view utf8);

  // The unit's clock runs from the PC's local clock until set; `running` false freezes it.
  void SetClock(const UnitClock& clock, bool running = true);
  UnitClock Clock() const;

  std::vector<std::uint8_t> ReadMemory(std::uint32_t address, std::size_t length) const;
  void WriteMemory(std::uint32_t address, std::span<const std::uint8_t> bytes);

  // Faults for the next `count` requests taken after the call, or for the request with the given
  // number (see RequestCount).
  void InjectNext(const SimFault& fault, std::uint64_t count = 1);
  void InjectAt(std::uint64_t requestNumber, const SimFault& fault);
  void ClearFaults();

  // A request is in the record before the first byte of its reply is on the line.
  std::vector<ReceivedRequest> Requests() const;
  void ClearRequests();
  // Number of requests taken since Start; ClearRequests does not reset it.
  std::uint64_t RequestCount() const;
  // Blocks until the record holds at least `count` requests or the timeout has passed.
  bool WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;
  // Blocks until every request taken so far has been answered to the last byte.
  bool WaitUntilIdle(std::chrono::milliseconds timeout) const;

  // Called on the simulator's thread after each request has been taken, with the reply that was
  // queued for it (empty when none); for a demo's log.
  void SetObserver(
      std::function<void(const ReceivedRequest&, const std::vector<std::uint8_t>& reply)> observer);

  SimStats Stats() const;

 private:
  struct Answer;
  struct ScheduledFault {
    SimFault fault;
    std::uint64_t first = 0;
    std::uint64_t last = 0;
  };

  void Run();
  // These run with mutex_ held.
  void Wake() const;
  // Carries out one request and returns its reply bytes, split where the line pauses.
  Answer BuildAnswer(const FrameHeader& header, const std::vector<std::uint8_t>& payload,
                     std::uint64_t number);
  // The reply payload of a request with the right password; `type` is left 'a'.
  std::vector<std::uint8_t> Execute(const FrameHeader& header,
                                    const std::vector<std::uint8_t>& payload);
  UnitClock ClockLocked() const;
  void SetClockLocked(const UnitClock& clock, bool running);

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  UnitSimulatorOptions options_;
  std::array<std::uint8_t, 4> password_{};
  std::vector<std::uint8_t> memory_;
  // The unit's clock is the PC's local wall clock plus this offset, or a frozen value.
  std::chrono::seconds clockOffset_{0};
  bool clockRunning_ = true;
  UnitClock frozenClock_;
  std::vector<ScheduledFault> faults_;
  std::vector<ReceivedRequest> requests_;
  std::uint64_t requestCount_ = 0;
  bool idle_ = true;
  SimStats stats_;
  std::function<void(const ReceivedRequest&, const std::vector<std::uint8_t>&)> observer_;
  std::uint32_t noiseState_ = 0x2545F491U;

  std::string devicePath_;
  int master_ = -1;
  int slave_ = -1;
  int wakeFd_ = -1;
  int watchFd_ = -1;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace telvora
