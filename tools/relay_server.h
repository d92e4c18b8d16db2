// The relay server: takes the relay client's requests over TCP and carries their frames to a
// unit on a serial device, answering with the unit's reply frame as 6-bit text.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "link/frame_header.h"
#include "platform/serial_port.h"
#include "platform/tcp_socket.h"

namespace telvora {

struct RelayServerOptions {
  std::string listenAddress = "0.0.0.0";
  std::uint16_t port = 80;  // 0: any free port (see RelayServer::Port)
  // The serial device behind which the unit answers (a simulated unit's pty will do).
  std::string unitDevice;
  // Time for a client to send one whole request, and for the unit to answer a frame.
  std::chrono::milliseconds requestTimeout{5000};
  std::chrono::milliseconds unitTimeout{5000};
  // A request may not be longer; the client's own limit is 8190 characters.
  std::size_t maxRequestBytes = 8192;
};

// Status numbers at the start of every answer body.
inline constexpr int kRelayOk = 200;
inline constexpr int kRelayBadRequest = 400;
inline constexpr int kRelayRequestTimeout = 408;
inline constexpr int kRelayTooLong = 413;
inline constexpr int kRelayUnitUnavailable = 503;
inline constexpr int kRelayUnitSilent = 504;

// One request as the client sends it: "GET " server "/" path "sid=" user "&crc=..&rnd=.."
// and, for a frame request, "&c" index "=" frame text, then "\r\n\r\n".
struct RelayRequest {
  enum class Kind { kOpen, kFrame, kClose };
  Kind kind = Kind::kOpen;
  std::string server;
  std::string user;
  int chunkIndex = -1;
  std::string frameText;
};
// Nothing when the text is not such a request (the closing "\r\n\r\n" included).
std::optional<RelayRequest> ParseRelayRequest(std::string_view text);

// Collects one reply frame from the bytes the unit sends; everything before a sync byte,
// notice lines included, and every frame that fails its checks is passed over.
class UnitFrameReader {
 public:
  // Longer payloads than this are taken for noise.
  static constexpr std::uint32_t kMaxPayload = 4096;
  // True when `b` completed a frame; the frame is then in header() and payload().
  bool Feed(std::uint8_t b);
  void Reset();
  const FrameHeader& header() const { return header_; }
  const std::vector<std::uint8_t>& payload() const { return payload_; }

 private:
  enum class State { kIdle, kHeader, kPayload };
  State state_ = State::kIdle;
  std::vector<std::uint8_t> bytes_;
  FrameHeader header_;
  std::vector<std::uint8_t> payload_;
};

class RelayServer {
 public:
  using LogSink = std::function<void(const std::string& line)>;

  explicit RelayServer(RelayServerOptions options);
  ~RelayServer();
  RelayServer(const RelayServer&) = delete;
  RelayServer& operator=(const RelayServer&) = delete;

  // Binds and listens; false with a message when that fails.
  bool Listen(std::string* error = nullptr);
  // The port it listens on, valid after Listen.
  std::uint16_t Port() const { return listener_.Port(); }
  // One line for every request answered; called on the serving thread.
  void SetLog(LogSink sink) { log_ = std::move(sink); }

  // Serves connections one after another until Stop, then stops listening.
  void Serve();
  // Listen, then Serve on a thread of its own.
  bool Start(std::string* error = nullptr);
  // Ends the serving (from any thread, also inside a wait) and joins the thread if any.
  void Stop();

  std::uint64_t RequestsAnswered() const { return answered_.load(); }

  // The answer body for one request text (without the closing of the connection).
  std::string Answer(std::string_view requestText);

 private:
  void HandleConnection(TcpSocket& client);
  std::string ForwardFrame(const RelayRequest& request, int& status);
  bool EnsureUnit();
  void Log(const std::string& line);

  RelayServerOptions options_;
  TcpListener listener_;
  WakeSignal stop_;
  SerialDevice unit_;
  UnitFrameReader reader_;
  LogSink log_;
  std::mutex logMutex_;
  std::atomic<std::uint64_t> answered_{0};
  std::thread thread_;
};

}  // namespace telvora
