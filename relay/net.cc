// The relay client.
#include "relay/net.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <span>
#include <thread>

#include "link/link_state.h"
#include "link/message_loop.h"
#include "platform/codepage.h"
#include "platform/local_clock.h"
#include "relay/frame_text.h"
#include "relay/relay_state.h"
#include "resources/strings.h"

namespace telvora {

namespace {

constexpr int kStrConnecting = 205;     // "připojuji na internet"
constexpr int kStrSocketLibrary = 206;  // "Inicializace WinSock"
constexpr int kStrSocketCreated = 207;  // "Socket vytvořen"
constexpr int kStrHostFound = 208;      // "Hostname nalezen"
constexpr int kStrHostNotFound = 209;   // "Hostname nenalezen"
constexpr int kStrConnectFailed = 212;  // "chyba spojení se serverem"
constexpr int kStrConnected = 213;      // "Připojeno k serveru"
constexpr int kStrDataSent = 214;       // "odeslana data"

void Log(int stringId) {
  AppendRelayStatus(stringId);
}

std::u16string Ascii(std::string_view text) {
  return {text.begin(), text.end()};
}

// Text leaves as bytes: the low 8 bits of each character, cut to the buffer less two, then a
// zero byte. Returns the number of bytes before the zero.
std::size_t ToBytes(std::u16string_view text, std::uint8_t* buffer, std::size_t size) {
  const std::size_t n = std::min(text.size(), size - 2);
  for (std::size_t i = 0; i < n; ++i) {
    buffer[i] = static_cast<std::uint8_t>(text[i] & 0xFF);
  }
  buffer[n] = 0;
  return n;
}

// The stored reply up to its first zero byte.
std::string StoredReply(const std::uint8_t* buffer, std::size_t size) {
  const auto* end = std::find(buffer, buffer + size, std::uint8_t{0});
  return {buffer, end};
}

bool IsReplySpace(std::uint8_t c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::u16string_view ReasonOf(FrameTextError e) {
  switch (e) {
    case FrameTextError::kBadCharacter:
      return u"nepovolený znak";
    case FrameTextError::kBadLength:
      return u"nesouhlasí délka";
    case FrameTextError::kBadPadding:
      return u"nenulová výplň";
    case FrameTextError::kBadHeaderChecksum:
      return u"chybný součet hlavičky";
    case FrameTextError::kNoHeaderLineFeed:
      return u"chybí konec hlavičky";
    case FrameTextError::kBadPayloadChecksum:
      return u"chybný součet dat";
    case FrameTextError::kNoPayloadLineFeed:
      return u"chybí konec dat";
    case FrameTextError::kNone:
      break;
  }
  return u"";
}

bool RefuseText(std::u16string_view text, std::u16string_view what) {
  const std::optional<std::size_t> at = Cnet::RefusedCharacter(text);
  if (!at) {
    return false;
  }
  std::array<char, 96> detail{};
  std::snprintf(detail.data(), detail.size(), " obsahuje nepovolený znak (pozice %zu, kód 0x%02X)",
                *at + 1, static_cast<unsigned>(text[*at]));
  AppendRelayLogLine(std::u16string(what) + Utf8ToUtf16(detail.data()));
  return true;
}

}  // namespace

std::optional<std::size_t> Cnet::RefusedCharacter(std::u16string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] < 0x21 || text[i] >= 0x7F) {
      return i;
    }
  }
  return std::nullopt;
}

std::array<char16_t, 4> Cnet::EncodeGroup(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2) {
  const auto c = EncodeSixBitGroup(b0, b1, b2);
  return {c[0], c[1], c[2], c[3]};
}

std::u16string Cnet::EncodeFrame(const FrameHeader& header, const std::uint8_t* payload) {
  const std::span<const std::uint8_t> bytes =
      payload != nullptr ? std::span<const std::uint8_t>(payload, header.length)
                         : std::span<const std::uint8_t>();
  const std::string text = EncodeFrameText(header, bytes, payload != nullptr);
  std::u16string out;
  out.reserve(text.size());
  for (const char c : text) {
    out.push_back(static_cast<char16_t>(static_cast<std::uint8_t>(c)));
  }
  return out;
}

std::u16string Cnet::BuildRequest(const FrameHeader& header, std::u16string_view path,
                                  const std::uint8_t* payload, int chunkIndex, bool withFrame) {
  std::u16string r = u"GET ";
  r += RelayServerName;
  r += u"/";
  r += path;
  r += u"sid=";
  r += RelayUserId;
  r += u"&crc=1234";
  r += u"&rnd=9877";
  if (withFrame) {
    r += u"&c";
    r += Ascii(std::to_string(chunkIndex));
    r += u"=";
    r += EncodeFrame(header, payload);
  }
  r += u"\r\n\r\n";
  return r;
}

std::int32_t Cnet::LeadingNumber(const std::uint8_t* reply) {
  std::uint32_t v = 0;
  for (const std::uint8_t* p = reply; *p >= '0' && *p <= '9'; ++p) {
    v = v * 10U + static_cast<std::uint32_t>(*p - '0');
  }
  return static_cast<std::int32_t>(v);
}

bool Cnet::Connect() {
  socket_.Close();
  if (RefuseText(RelayServerName, u"adresa serveru")) {
    return false;
  }
  // POSIX sockets need no library start; the line stays for the log's sake.
  Log(kStrSocketLibrary);
  if (!socket_.Create()) {
    return false;
  }
  Log(kStrSocketCreated);
  std::array<std::uint8_t, kHostNameBufferSize> host{};
  const std::size_t n = ToBytes(RelayServerName, host.data(), host.size());
  const std::optional<Ipv4Address> address =
      LookupIpv4(std::string(reinterpret_cast<const char*>(host.data()), n));
  if (!address) {
    Log(kStrHostNotFound);
    socket_.Close();
    return false;
  }
  Log(kStrHostFound);
  hostAddress_ = address;
  if (!socket_.Connect(*address, port_)) {
    Log(kStrConnectFailed);
    socket_.Close();
    return false;
  }
  Log(kStrConnected);
  return true;
}

bool Cnet::Exchange(std::uint8_t* buffer, std::size_t size) {
  if (size < 2) {
    return false;
  }
  const std::size_t requestLength = std::find(buffer, buffer + size, std::uint8_t{0}) - buffer;
  // A send that fails shows itself by the server's silence or its closing.
  (void)socket_.SendAll(std::span<const std::uint8_t>(buffer, requestLength));
  Log(kStrDataSent);

  int noted = LocalSecondsField();
  int changes = 0;
  std::fill(buffer, buffer + size, std::uint8_t{0});
  std::size_t stored = 0;
  bool closed = false;
  std::array<std::uint8_t, 2048> chunk{};
  while (!closed && changes < kExchangeSecondsChanges) {
    std::size_t got = 0;
    // Each wait ends by the next turn of the seconds value at the latest, so the count of
    // changes bounds the exchange however the server behaves.
    const ReceiveStatus status =
        socket_.Receive(chunk.data(), chunk.size(), got, NextSecondsChange());
    if (status == ReceiveStatus::kData) {
      const std::size_t keep = std::min(got, size - 1 - stored);
      std::copy_n(chunk.begin(), keep, buffer + stored);
      stored += keep;
    } else if (status == ReceiveStatus::kClosed) {
      closed = true;
    } else if (status == ReceiveStatus::kError) {
      // An error ends nothing; wait for the clock instead of asking again at once.
      std::this_thread::sleep_until(NextSecondsChange());
    }
    const int now = LocalSecondsField();
    if (now != noted) {
      noted = now;
      ++changes;
    }
  }
  if (changes >= kExchangeSecondsChanges) {
    return false;
  }

  lastReply_ = StoredReply(buffer, size);
  const std::span<const std::uint8_t> replyBytes(
      reinterpret_cast<const std::uint8_t*>(lastReply_.data()), lastReply_.size());
  AppendRelayLogLine(DecodeCp1250(replyBytes));
  const std::int32_t v = LeadingNumber(buffer);
  AppendRelayLogLine(u"odezva: " + Ascii(std::to_string(v)));
  std::array<char, 16> hex{};
  std::snprintf(hex.data(), hex.size(), "%08x", static_cast<std::uint32_t>(v));
  AppendRelayLogLine(Ascii(hex.data()));
  return true;
}

bool Cnet::SendRequest(std::u16string_view request) {
  lastReply_.clear();
  ToBytes(request, buffer_.data(), buffer_.size());
  AppendRelayLog(request);
  if (Exchange(buffer_.data(), buffer_.size())) {
    return true;
  }
  socket_.Close();
  return false;
}

bool Cnet::TakeReplyFrame(std::uint8_t* payloadCursor, bool discardPayload) {
  const auto* reply = reinterpret_cast<const std::uint8_t*>(lastReply_.data());
  const std::size_t n = lastReply_.size();
  std::size_t i = 0;
  while (i < n && reply[i] >= '0' && reply[i] <= '9') {
    ++i;
  }
  if (i == 0) {
    return false;
  }
  if (i < n && reply[i] == '\r') {
    ++i;
  }
  if (i >= n || reply[i] != '\n') {
    return false;
  }
  ++i;
  std::size_t end = i;
  while (end < n && !IsReplySpace(reply[end])) {
    ++end;
  }
  // A server that hands back no frame says nothing more after its number.
  if (end == i) {
    return false;
  }
  const std::string_view text(lastReply_.data() + i, end - i);
  std::size_t after = end;
  while (after < n && IsReplySpace(reply[after])) {
    ++after;
  }
  DecodedFrameText frame;
  if (after == n) {
    frame = DecodeFrameText(text, PayloadPart::kWhenLengthNotZero);
  } else {
    frame.error = FrameTextError::kBadLength;
  }
  if (!frame.ok()) {
    AppendRelayLogLine(u"odpověď nenese platný rámec jednotky (" +
                       std::u16string(ReasonOf(frame.error)) + u")");
    return false;
  }
  RxPayloadCursor = payloadCursor;
  RxPayloadDiscard = discardPayload;
  parser_.ResetParser();
  for (const std::uint8_t b : frame.wire) {
    parser_.ParseByte(b);
  }
  RxPayloadDiscard = false;
  return parser_.State() == ParseState::kIdle && !LastReplyWasNotice &&
         LastReplyHeader == frame.header;
}

bool Cnet::RelayTextsUsable() {
  return !RefuseText(RelayServerName, u"adresa serveru") &&
         !RefuseText(RelayUserId, u"ID uživatele");
}

TransferResult Cnet::Transfer(FrameHeader header, int writeFlag, const std::uint8_t* data,
                              std::uint32_t chunkSize) {
  TransferResult result;
  if (!RelayTextsUsable()) {
    return result;
  }
  const bool write = writeFlag != 0;
  if (header.length > 0 && chunkSize == 0) {
    AppendRelayLogLine(u"velikost části přenosu je 0");
    return result;
  }
  if (write && data != nullptr && std::min(header.length, chunkSize) > kMaxChunkPayload) {
    AppendRelayLogLine(u"část přenosu je delší než " + Ascii(std::to_string(kMaxChunkPayload)) +
                       u" bajtů");
    return result;
  }

  Log(kStrConnecting);
  if (!Connect()) {
    return result;
  }
  if (!SendRequest(BuildRequest(header, u"rd?", nullptr, 0, false))) {
    return result;
  }

  std::uint32_t remaining = header.length;
  std::uint32_t chunkLength = std::min(remaining, chunkSize);
  std::uint32_t offset = 0;
  int chunkIndex = 0;
  bool readDue = !write;
  bool everyFrameGood = true;
  bool everyFrameWhole = true;
  while (remaining > 0 || readDue) {
    readDue = false;
    socket_.Close();
    if (!Connect()) {
      return result;
    }
    FrameHeader chunk = header;
    chunk.length = chunkLength;
    const std::uint8_t* payload = write && data != nullptr ? data + offset : nullptr;
    if (!SendRequest(BuildRequest(chunk, u"cl?", payload, chunkIndex, true))) {
      return result;
    }
    ++result.chunks;

    // A read's chunks build the block from the start of TransferBuffer; the answer to a
    // write chunk must not land on bytes still to be sent, except the last one's.
    const bool moreToSend = write && remaining > chunkLength;
    std::uint8_t* cursor = TransferBuffer.data() + (write ? 0 : offset % (kTransferBufferSize - 1));
    if (TakeReplyFrame(cursor, moreToSend)) {
      if (LastReplyHeader.type == kTypeRefused) {
        result.refused = true;
      }
      const bool whole = write || chunkLength == 0 || LastReplyHeader.length == chunkLength;
      if (LastReplyHeader.type != kTypeAccepted || !whole) {
        everyFrameWhole = false;
      }
    } else {
      everyFrameGood = false;
    }

    remaining -= chunkLength;
    offset += chunkLength;
    header.address += chunkLength;
    chunkLength = std::min(remaining, chunkSize);
    ++chunkIndex;
  }

  socket_.Close();
  if (!Connect()) {
    return result;
  }
  if (!SendRequest(BuildRequest(header, u"st?", nullptr, 0, false))) {
    return result;
  }
  if (MessageLoop* loop = MainMessageLoop()) {
    loop->Post(WM_RELAY_STATUS, 0, kStrTransferEnd);
  }
  socket_.Close();
  result.replied = everyFrameGood;
  result.complete = everyFrameGood && everyFrameWhole;
  return result;
}

}  // namespace telvora
