// Process-wide protocol state shared by every engine instance and every caller.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "link/frame_header.h"

namespace telvora {

inline constexpr std::size_t kTransferBufferSize = 131072;

// Blocks to write are packed here; received payloads land here.
extern std::array<std::uint8_t, kTransferBufferSize> TransferBuffer;
// Header of the most recent reply; its type is the status callers examine.
extern FrameHeader LastReplyHeader;
// True when the most recent completion was a notice line rather than a frame; a notice
// ends a wait but carries no answer.
extern bool LastReplyWasNotice;
extern bool ReplyArrived;
// Wait limit of the next transactions, in changes of the clock's seconds value.
extern int ReplyTimeoutSeconds;
// Main-timer ticks since the parser last consumed a byte of a frame or line.
extern int IdleTicks;

extern std::array<std::uint8_t, 17> RxHeaderBuffer;
extern std::array<std::uint8_t, 19> RxNoticeBuffer;
// Where the parser stores the next payload byte.
extern std::uint8_t* RxPayloadCursor;
// While set, reply payload bytes are checked but stored nowhere: a write transfer
// must not let an answer overwrite the part of the block it has still to send.
extern bool RxPayloadDiscard;

// Set when the program is closing: every waiting transaction gives up at once, so the
// window can close while a long wait (a password change waits up to 500 s) is under way.
extern bool AbortTransactions;

// Back to the state of a freshly started program (start-up, tests).
void ResetLinkState();

}  // namespace telvora
