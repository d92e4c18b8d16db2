// The relay server.
#include "tools/relay_server.h"

#include <poll.h>

#include <algorithm>
#include <array>
#include <cerrno>

#include "relay/frame_text.h"

namespace telvora {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::string_view kRequestEnd = "\r\n\r\n";

std::string Status(int status) {
  return std::to_string(status) + "\n";
}

bool AllDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int PollMilliseconds(Clock::time_point deadline) {
  const auto now = Clock::now();
  if (deadline <= now) {
    return 0;
  }
  return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count());
}

const char* KindName(RelayRequest::Kind kind) {
  switch (kind) {
    case RelayRequest::Kind::kOpen:
      return "rd?";
    case RelayRequest::Kind::kFrame:
      return "cl?";
    case RelayRequest::Kind::kClose:
      return "st?";
  }
  return "?";
}

}  // namespace

std::optional<RelayRequest> ParseRelayRequest(std::string_view text) {
  if (!text.starts_with("GET ") || !text.ends_with(kRequestEnd)) {
    return std::nullopt;
  }
  const std::string_view line = text.substr(4, text.size() - 4 - kRequestEnd.size());

  // The server name comes first and may itself hold a '/', so the path is the earliest of
  // the three that is followed by "sid=".
  struct Path {
    std::string_view text;
    RelayRequest::Kind kind;
  };
  constexpr Path kPaths[] = {{"/rd?sid=", RelayRequest::Kind::kOpen},
                             {"/cl?sid=", RelayRequest::Kind::kFrame},
                             {"/st?sid=", RelayRequest::Kind::kClose}};
  std::size_t at = std::string_view::npos;
  RelayRequest request;
  for (const Path& p : kPaths) {
    const std::size_t found = line.find(p.text);
    if (found < at) {
      at = found;
      request.kind = p.kind;
    }
  }
  if (at == std::string_view::npos) {
    return std::nullopt;
  }
  request.server = std::string(line.substr(0, at));
  std::string_view rest = line.substr(at + kPaths[0].text.size());

  if (request.kind == RelayRequest::Kind::kFrame) {
    // The frame text holds no '&' (its characters start at 0x41), so the last "&c" is it.
    const std::size_t c = rest.rfind("&c");
    if (c == std::string_view::npos) {
      return std::nullopt;
    }
    const std::string_view chunk = rest.substr(c + 2);
    const std::size_t eq = chunk.find('=');
    if (eq == std::string_view::npos || !AllDigits(chunk.substr(0, eq)) || eq > 6) {
      return std::nullopt;
    }
    request.chunkIndex = std::stoi(std::string(chunk.substr(0, eq)));
    request.frameText = std::string(chunk.substr(eq + 1));
    rest = rest.substr(0, c);
  }
  const std::size_t crc = rest.rfind("&crc=");
  if (crc == std::string_view::npos || rest.find("&rnd=", crc) == std::string_view::npos) {
    return std::nullopt;
  }
  request.user = std::string(rest.substr(0, crc));
  return request;
}

void UnitFrameReader::Reset() {
  state_ = State::kIdle;
  bytes_.clear();
}

bool UnitFrameReader::Feed(std::uint8_t b) {
  switch (state_) {
    case State::kIdle:
      if (b == kSyncByte) {
        bytes_.assign(1, b);
        state_ = State::kHeader;
      }
      return false;
    case State::kHeader: {
      bytes_.push_back(b);
      if (bytes_.size() < kHeaderSectionSize) {
        return false;
      }
      const std::span<const std::uint8_t> fields(bytes_.data(), kHeaderFieldsSize);
      state_ = State::kIdle;
      if (bytes_[kHeaderFieldsSize] != Checksum8(fields) ||
          bytes_[kHeaderFieldsSize + 1] != kLineFeed) {
        return false;
      }
      header_ = DecodeHeaderFields(fields);
      payload_.clear();
      bytes_.clear();
      if (header_.length == 0) {
        return true;
      }
      if (header_.length > kMaxPayload) {
        return false;
      }
      state_ = State::kPayload;
      return false;
    }
    case State::kPayload: {
      bytes_.push_back(b);
      const std::size_t n = header_.length;
      if (bytes_.size() < n + kPayloadOverhead) {
        return false;
      }
      state_ = State::kIdle;
      const std::span<const std::uint8_t> payload(bytes_.data(), n);
      if (bytes_[n] != Checksum8(payload) || bytes_[n + 1] != kLineFeed) {
        return false;
      }
      payload_.assign(payload.begin(), payload.end());
      return true;
    }
  }
  return false;
}

RelayServer::RelayServer(RelayServerOptions options) : options_(std::move(options)) {}

RelayServer::~RelayServer() {
  Stop();
}

bool RelayServer::Listen(std::string* error) {
  return listener_.Listen(options_.listenAddress, options_.port, error);
}

bool RelayServer::Start(std::string* error) {
  if (!Listen(error)) {
    return false;
  }
  thread_ = std::thread([this] { Serve(); });
  return true;
}

void RelayServer::Stop() {
  stop_.Wake();
  if (thread_.joinable()) {
    thread_.join();
  }
  unit_.Close();
}

void RelayServer::Log(const std::string& line) {
  if (!log_) {
    return;
  }
  std::lock_guard lock(logMutex_);
  log_(line);
}

void RelayServer::Serve() {
  while (!stop_.IsSet() && listener_.IsOpen()) {
    std::optional<TcpSocket> client = listener_.Accept(Clock::time_point::max(), &stop_);
    if (!client) {
      // The system refused to hand over a connection (out of descriptors, say): give it a
      // moment instead of asking again at once.
      pollfd p{stop_.Handle(), POLLIN, 0};
      (void)::poll(&p, 1, 200);
      continue;
    }
    HandleConnection(*client);
  }
  // Nobody is served any more: connections are refused rather than left waiting.
  listener_.Close();
}

void RelayServer::HandleConnection(TcpSocket& client) {
  std::string text;
  std::string body;
  const auto deadline = Clock::now() + options_.requestTimeout;
  std::array<std::uint8_t, 2048> chunk{};
  for (;;) {
    const std::size_t end = text.find(kRequestEnd);
    if (end != std::string::npos) {
      text.resize(end + kRequestEnd.size());
      break;
    }
    if (text.size() > options_.maxRequestBytes) {
      body = Status(kRelayTooLong);
      break;
    }
    std::size_t got = 0;
    const ReceiveStatus status = client.Receive(chunk.data(), chunk.size(), got, deadline, &stop_);
    if (status == ReceiveStatus::kData) {
      text.append(reinterpret_cast<const char*>(chunk.data()), got);
      continue;
    }
    if (status != ReceiveStatus::kTimeout || stop_.IsSet()) {
      return;  // nobody left to answer
    }
    body = Status(kRelayRequestTimeout);
    break;
  }
  if (body.empty()) {
    body = Answer(text);
  }
  (void)client.SendAll(std::span<const std::uint8_t>(
      reinterpret_cast<const std::uint8_t*>(body.data()), body.size()));
  client.ShutdownSend();
  client.Close();
  answered_.fetch_add(1);
}

std::string RelayServer::Answer(std::string_view requestText) {
  const std::optional<RelayRequest> request = ParseRelayRequest(requestText);
  if (!request) {
    Log("malformed request -> " + std::to_string(kRelayBadRequest));
    return Status(kRelayBadRequest);
  }
  std::string line = std::string(KindName(request->kind)) + " sid=" + request->user;
  if (request->kind != RelayRequest::Kind::kFrame) {
    Log(line + " -> " + std::to_string(kRelayOk));
    return Status(kRelayOk);
  }
  line += " c" + std::to_string(request->chunkIndex);
  int status = kRelayOk;
  std::string body = ForwardFrame(*request, status);
  Log(line + " -> " + std::to_string(status));
  return body;
}

bool RelayServer::EnsureUnit() {
  if (unit_.IsOpen()) {
    return true;
  }
  if (options_.unitDevice.empty()) {
    return false;
  }
  if (unit_.Open(options_.unitDevice, 19200) == SerialOpenResult::kOk) {
    return true;
  }
  unit_.Close();
  return false;
}

std::string RelayServer::ForwardFrame(const RelayRequest& request, int& status) {
  const DecodedFrameText frame = DecodeFrameText(request.frameText, PayloadPart::kWhenPresent);
  if (!frame.ok()) {
    Log(std::string("frame text refused: ") + Describe(frame.error));
    status = kRelayBadRequest;
    return Status(status);
  }
  if (!EnsureUnit()) {
    Log("the unit's device " + options_.unitDevice + " cannot be opened");
    status = kRelayUnitUnavailable;
    return Status(status);
  }
  // Whatever the unit said unasked before this request is not its answer.
  std::array<std::uint8_t, 512> buffer{};
  std::size_t got = 0;
  while (unit_.ReadAvailable(buffer.data(), buffer.size(), got) == SerialRead::kData) {
  }
  if (!unit_.Write(frame.wire)) {
    Log("the unit's device " + options_.unitDevice + " does not take the frame");
    unit_.Close();
    status = kRelayUnitUnavailable;
    return Status(status);
  }

  reader_.Reset();
  const auto deadline = Clock::now() + options_.unitTimeout;
  for (;;) {
    pollfd fds[2] = {{unit_.PollHandle(), POLLIN, 0}, {stop_.Handle(), POLLIN, 0}};
    const int n = ::poll(fds, 2, PollMilliseconds(deadline));
    if (n < 0 && errno != EINTR) {
      break;
    }
    if (fds[1].revents != 0) {
      break;
    }
    if (n > 0 && fds[0].revents != 0) {
      const SerialRead read = unit_.ReadAvailable(buffer.data(), buffer.size(), got);
      if (read == SerialRead::kFailed) {
        Log("the unit's device " + options_.unitDevice + " has gone");
        unit_.Close();
        status = kRelayUnitUnavailable;
        return Status(status);
      }
      for (std::size_t i = 0; i < got; ++i) {
        if (reader_.Feed(buffer[i])) {
          status = kRelayOk;
          return Status(status) +
                 EncodeFrameText(reader_.header(), reader_.payload(), reader_.header().length != 0);
        }
      }
    }
    if (Clock::now() >= deadline) {
      break;
    }
  }
  status = kRelayUnitSilent;
  return Status(status);
}

}  // namespace telvora
