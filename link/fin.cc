// The protocol engine.
#include "link/fin.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <thread>

#include "link/link_state.h"
#include "link/message_loop.h"
#include "link/uart.h"
#include "platform/local_clock.h"

namespace telvora {

namespace {

constexpr int kIdleTickLimit = 30;
constexpr char kNoticePrefix[] = "WRL: ";
constexpr int kNoticePrefixLength = 5;
constexpr int kNoticeTextLimit = 17;

void PostFrameComplete() {
  if (MessageLoop* loop = MainMessageLoop()) loop->Post(WM_RX_FRAME);
}

// The range rule: payload bytes only ever land inside TransferBuffer.
void KeepCursorInRange() {
  const auto cursor = reinterpret_cast<std::uintptr_t>(RxPayloadCursor);
  const auto start = reinterpret_cast<std::uintptr_t>(TransferBuffer.data());
  if (cursor < start || cursor >= start + kTransferBufferSize - 1) {
    RxPayloadCursor = TransferBuffer.data();
  }
}

}  // namespace

TransferOutcome OutcomeOf(const TransferResult& result) {
  if (!result.replied) return TransferOutcome::kNoReply;
  if (result.refused) return TransferOutcome::kRefused;
  if (result.complete) return TransferOutcome::kDone;
  return TransferOutcome::kBadReply;
}

void Cfin::SetPassword(FrameHeader& header, std::u16string_view passwordText) {
  SetPasswordBytes(header, passwordText);
}

bool Cfin::WriteFrame(const FrameHeader& header, const std::uint8_t* payload,
                      std::uint32_t payloadLength) {
  // The frame is built in one buffer of fixed size; a payload that cannot fit is
  // refused whole rather than cut.
  if (payloadLength > kMaxPayload) {
    bytesWritten_ = 0;
    return false;
  }
  std::array<std::uint8_t, kFrameBufferSize> frame{};
  const auto head = EncodeHeaderSection(header);
  std::copy(head.begin(), head.end(), frame.begin());
  std::size_t n = head.size();
  if (payloadLength > 0) {
    std::uint8_t sum = 0;
    for (std::uint32_t i = 0; i < payloadLength; ++i) {
      frame[n++] = payload[i];
      sum = static_cast<std::uint8_t>(sum + payload[i]);
    }
    frame[n++] = sum;
    frame[n++] = kLineFeed;
  }
  bytesWritten_ = static_cast<std::uint32_t>(n);
  return Cuart().Write(std::span<const std::uint8_t>(frame.data(), n));
}

void Cfin::Store(std::uint8_t b) {
  RxHeaderBuffer[static_cast<std::size_t>(byteIndex_)] = b;
  ++byteIndex_;
}

void Cfin::DecodeHeader() {
  decoded_ = DecodeHeaderFields(RxHeaderBuffer);
  LastReplyHeader = decoded_;
}

void Cfin::FrameComplete(bool notice) {
  LastReplyWasNotice = notice;
  PostFrameComplete();
}

void Cfin::ParseByte(std::uint8_t b) {
  if (IdleTicks >= kIdleTickLimit) state_ = ParseState::kIdle;
  KeepCursorInRange();

  if (state_ != ParseState::kIdle || b == kSyncByte || b == 'W') IdleTicks = 0;

  switch (state_) {
    case ParseState::kIdle:
      if (b == kSyncByte) {
        byteIndex_ = 0;
        Store(b);
        checksum_ = kSyncByte;
        headerLength_ = static_cast<int>(kHeaderFieldsSize);
        state_ = ParseState::kHeaderPassword;
      } else if (b == 'W') {
        RxNoticeBuffer[0] = 'W';
        RxNoticeBuffer[1] = 0;
        byteIndex_ = 1;
        state_ = ParseState::kNoticePrefix;
      }
      break;
    case ParseState::kHeaderPassword:
      Store(b);
      checksum_ = static_cast<std::uint8_t>(checksum_ + b);
      if (byteIndex_ >= 5) state_ = ParseState::kHeaderCommand;
      break;
    case ParseState::kHeaderCommand:
      Store(b);
      checksum_ = static_cast<std::uint8_t>(checksum_ + b);
      state_ = ParseState::kHeaderRest;
      break;
    case ParseState::kHeaderRest:
      Store(b);
      checksum_ = static_cast<std::uint8_t>(checksum_ + b);
      if (byteIndex_ >= headerLength_) state_ = ParseState::kHeaderChecksum;
      break;
    case ParseState::kHeaderChecksum:
      if (b == checksum_) {
        Store(b);
        state_ = ParseState::kHeaderEnd;
      } else {
        state_ = ParseState::kIdle;
      }
      break;
    case ParseState::kHeaderEnd:
      if (b != kLineFeed) {
        state_ = ParseState::kIdle;
        break;
      }
      Store(b);
      DecodeHeader();
      if (decoded_.length != 0) {
        payloadRemaining_ = decoded_.length;
        checksum_ = 0;
        state_ = ParseState::kPayloadBytes;
      } else {
        FrameComplete(false);
        state_ = ParseState::kIdle;
      }
      break;
    case ParseState::kPayloadBytes:
      checksum_ = static_cast<std::uint8_t>(checksum_ + b);
      --payloadRemaining_;
      if (!RxPayloadDiscard) {
        *RxPayloadCursor = b;
        ++RxPayloadCursor;
        *RxPayloadCursor = 0;
      }
      if (payloadRemaining_ == 0) state_ = ParseState::kPayloadChecksum;
      break;
    case ParseState::kPayloadChecksum:
      state_ = b == checksum_ ? ParseState::kPayloadEnd : ParseState::kIdle;
      break;
    case ParseState::kPayloadEnd:
      if (b == kLineFeed) FrameComplete(false);
      state_ = ParseState::kIdle;
      break;
    case ParseState::kNoticePrefix:
      RxNoticeBuffer[static_cast<std::size_t>(byteIndex_)] = b;
      ++byteIndex_;
      RxNoticeBuffer[static_cast<std::size_t>(byteIndex_)] = 0;
      if (byteIndex_ >= kNoticePrefixLength) {
        if (std::memcmp(RxNoticeBuffer.data(), kNoticePrefix, kNoticePrefixLength) == 0) {
          byteIndex_ = 0;
          state_ = ParseState::kNoticeText;
        } else {
          state_ = ParseState::kIdle;
        }
      }
      break;
    case ParseState::kNoticeText:
      if (b == 0x0D) {
        state_ = ParseState::kNoticeEnd;
        break;
      }
      RxNoticeBuffer[static_cast<std::size_t>(byteIndex_)] = b;
      ++byteIndex_;
      RxNoticeBuffer[static_cast<std::size_t>(byteIndex_)] = 0;
      if (byteIndex_ >= kNoticeTextLimit) state_ = ParseState::kNoticeOverflow;
      break;
    case ParseState::kNoticeOverflow:
      state_ = b == 0x0D ? ParseState::kNoticeEnd : ParseState::kIdle;
      break;
    case ParseState::kNoticeEnd:
      if (b == kLineFeed) {
        // A notice carries no header of its own: what is decoded is the last frame's
        // header with the command byte marked.
        RxHeaderBuffer[5] = kLineFeed;
        DecodeHeader();
        FrameComplete(true);
      }
      state_ = ParseState::kIdle;
      break;
  }
}

bool Cfin::Transact(FrameHeader header, std::uint32_t payloadLength, std::uint8_t* payload,
                    bool discardReplyPayload) {
  RxPayloadCursor = payload;
  RxPayloadDiscard = discardReplyPayload;
  state_ = ParseState::kIdle;
  ReplyArrived = false;
  (void)WriteFrame(header, payload, payloadLength);

  int lastSeen = LocalSecondsField();
  int changes = 0;
  while (!ReplyArrived && changes < ReplyTimeoutSeconds && !AbortTransactions) {
    // Sleep in the loop until something is dispatched or the seconds value turns.
    const auto turn = NextSecondsChange();
    if (MessageLoop* loop = MainMessageLoop()) {
      loop->DispatchUntil(turn);
    } else {
      // Without a window nothing can deliver a reply; only the clock moves on.
      std::this_thread::sleep_until(turn);
    }
    const int now = LocalSecondsField();
    if (now != lastSeen) {
      lastSeen = now;
      ++changes;
    }
  }
  RxPayloadDiscard = false;
  return ReplyArrived;
}

TransferResult Cfin::TransferBlock(FrameHeader header, std::uint32_t sendPayload,
                                   std::uint8_t* data, std::uint32_t chunkSize) {
  TransferResult result;
  std::uint32_t remaining = header.length;
  std::uint32_t offset = 0;
  header.length = std::min(remaining, chunkSize);
  std::uint32_t payloadLength = sendPayload != 0 ? header.length : 0;
  bool firstReadDue = sendPayload == 0;

  while (remaining > 0 || firstReadDue) {
    // A reply to a write chunk must not land on bytes still to be sent; the answer to
    // the last chunk (a credit query's text, say) stays where callers look for it.
    const bool moreToSend = sendPayload != 0 && remaining > header.length;
    if (!Transact(header, payloadLength, data + offset, moreToSend)) return result;
    ++result.chunks;
    const bool accepted = !LastReplyWasNotice && LastReplyHeader.type == kTypeAccepted;
    const bool whole =
        sendPayload != 0 || header.length == 0 || LastReplyHeader.length == header.length;
    if (!accepted || !whole) {
      result.replied = true;
      result.refused = !LastReplyWasNotice && LastReplyHeader.type == kTypeRefused;
      return result;
    }
    remaining -= header.length;
    offset += header.length;
    header.address += header.length;
    header.length = std::min(remaining, chunkSize);
    payloadLength = sendPayload != 0 ? header.length : 0;
    firstReadDue = false;
  }
  result.replied = true;
  result.complete = true;
  return result;
}

}  // namespace telvora
