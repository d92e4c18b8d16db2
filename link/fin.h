// The protocol engine: frame writing, the receive parser, transactions and block
// transfers.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "link/frame_header.h"

namespace telvora {

// What a block transfer found, chunk by chunk.
struct TransferResult {
  // Every chunk sent got a reply (or a notice line) in time; false at the first
  // chunk that timed out.
  bool replied = false;
  // Every chunk was answered by a frame of type 'a' and, for a read, with exactly
  // the bytes asked for. Only then may the caller use the received block.
  bool complete = false;
  // The unit refused a chunk with 'h' (wrong password); the transfer stopped there.
  bool refused = false;
  // Chunks sent.
  int chunks = 0;

  explicit operator bool() const { return replied; }
};

// How a caller reports a transfer: the one place that maps a result to its status text.
enum class TransferOutcome {
  kDone,      // complete
  kRefused,   // the unit answered 'h': wrong password
  kNoReply,   // a chunk timed out
  kBadReply,  // answered, but not with the whole block (short, notice line, other type)
};
TransferOutcome OutcomeOf(const TransferResult& result);

enum class ParseState {
  kIdle,
  kHeaderPassword,
  kHeaderCommand,
  kHeaderRest,
  kHeaderChecksum,
  kHeaderEnd,
  kPayloadBytes,
  kPayloadChecksum,
  kPayloadEnd,
  kNoticePrefix,
  kNoticeText,
  kNoticeOverflow,
  kNoticeEnd,
};

class Cfin {
 public:
  // Stores the password bytes of `passwordText` into `header` (low 8 bits, 0 when short).
  static void SetPassword(FrameHeader& header, std::u16string_view passwordText);

  // Assembles the frame in one buffer and writes it in a single write that waits for
  // its completion. Returns whether the write succeeded.
  bool WriteFrame(const FrameHeader& header, const std::uint8_t* payload,
                  std::uint32_t payloadLength);

  // Advances the receive state machine by one byte.
  void ParseByte(std::uint8_t b);

  // Sends one frame and waits, dispatching the main loop's messages, until a reply
  // arrives or ReplyTimeoutSeconds changes of the clock's seconds value have passed.
  // `payload` is the source of the bytes sent and where the reply's payload lands,
  // unless `discardReplyPayload` is set.
  bool Transact(FrameHeader header, std::uint32_t payloadLength, std::uint8_t* payload,
                bool discardReplyPayload = false);

  // Reads (sendPayload 0) or writes a block in chunks, one transaction each.
  TransferResult TransferBlock(FrameHeader header, std::uint32_t sendPayload, std::uint8_t* data,
                               std::uint32_t chunkSize);

  ParseState State() const { return state_; }
  const FrameHeader& DecodedHeader() const { return decoded_; }
  std::uint32_t BytesWritten() const { return bytesWritten_; }
  void ResetParser() { state_ = ParseState::kIdle; }

 private:
  void DecodeHeader();
  void Store(std::uint8_t b);
  void FrameComplete(bool notice);

  std::uint32_t bytesWritten_ = 0;
  FrameHeader decoded_{0, {}, 0, 0, 0, 0};
  int headerLength_ = 15;
  std::uint8_t checksum_ = 0;
  std::uint32_t payloadRemaining_ = 0;
  ParseState state_ = ParseState::kIdle;
  int byteIndex_ = 0;
};

}  // namespace telvora
