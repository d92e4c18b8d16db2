// The relay client: carries one request of the unit protocol through an HTTP relay server
// as an opening request, one frame request per chunk and a closing request.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "link/fin.h"
#include "link/frame_header.h"
#include "platform/tcp_socket.h"

namespace telvora {

class Cnet {
 public:
  static constexpr std::uint16_t kDefaultPort = 80;
  // The request goes out of, and the reply comes into, one buffer of this size.
  static constexpr std::size_t kRequestBufferSize = 8192;
  static constexpr std::size_t kHostNameBufferSize = 64;
  static constexpr std::size_t kFrameTextSize = 4096;
  // The most payload bytes whose frame text fits the frame-text buffer.
  static constexpr std::uint32_t kMaxChunkPayload = 3049;
  // The exchange gives up at this change of the local clock's seconds value.
  static constexpr int kExchangeSecondsChanges = 10;

  using RequestBuffer = std::array<std::uint8_t, kRequestBufferSize>;

  Cnet() = default;
  Cnet(const Cnet&) = delete;
  Cnet& operator=(const Cnet&) = delete;

  // The server's TCP port (80 unless set otherwise).
  void SetPort(std::uint16_t port) { port_ = port; }
  std::uint16_t Port() const { return port_; }

  // Carries `header` to the unit: the opening request, one frame request per chunk (a read
  // sends at least one), the closing request, each logged in RelayLog. `writeFlag` set: the
  // chunks carry `data` (when given) as payload. The unit's reply frames that the server
  // hands back go through the receive parser: read payloads accumulate from the start of
  // TransferBuffer and LastReplyHeader holds the last chunk's answer. Converts to true
  // only when the closing request was answered and every frame request was answered with a
  // good frame; string 215 is posted whenever the whole sequence was exchanged.
  TransferResult Transfer(FrameHeader header, int writeFlag, const std::uint8_t* data,
                          std::uint32_t chunkSize);

  // Looks up RelayServerName and connects to it, logging each step.
  bool Connect();

  // One request line; `payload` (header.length bytes, may be null) is used only with
  // `withFrame`.
  static std::u16string BuildRequest(const FrameHeader& header, std::u16string_view path,
                                     const std::uint8_t* payload, int chunkIndex, bool withFrame);
  // The header part, then the payload part when `payload` is given.
  static std::u16string EncodeFrame(const FrameHeader& header, const std::uint8_t* payload);
  static std::array<char16_t, 4> EncodeGroup(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2);

  // Sends the zero-terminated request in `buffer`, then receives the reply into it until the
  // server closes the connection (true) or ten changes of the seconds value have passed.
  bool Exchange(std::uint8_t* buffer, std::size_t size);

  // The decimal number at the start of a zero-terminated reply, wrapping in 32 bits.
  static std::int32_t LeadingNumber(const std::uint8_t* reply);

  // Characters that would break or extend the request line: below 0x21 and from 0x7F up.
  // The position of the first one, if any.
  static std::optional<std::size_t> RefusedCharacter(std::u16string_view text);

  // The stored bytes of the last reply (up to its first zero byte).
  const std::string& LastReply() const { return lastReply_; }
  // Whether a connection is open (between Connect and the end of its exchange).
  bool IsConnected() const { return socket_.IsOpen(); }

 private:
  // ToBytes into the buffer, the request text into the log, then the exchange; closes the
  // connection when the exchange fails.
  bool SendRequest(std::u16string_view request);
  // Finds the unit's frame after the reply's number and feeds it to the receive parser.
  // False when the reply carries no good frame (logged when it carries a bad one).
  bool TakeReplyFrame(std::uint8_t* payloadCursor, bool discardPayload);
  bool RelayTextsUsable();

  std::uint16_t port_ = kDefaultPort;
  TcpSocket socket_;
  // The last successful lookup, as the socket library's host entry would keep it.
  std::optional<Ipv4Address> hostAddress_;
  RequestBuffer buffer_{};
  std::string lastReply_;
  // Fed only with the frames the server hands back.
  Cfin parser_;
};

}  // namespace telvora
