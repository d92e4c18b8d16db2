// Definitions of the process-wide protocol state.
#include "link/link_state.h"

namespace telvora {

std::array<std::uint8_t, kTransferBufferSize> TransferBuffer{};
FrameHeader LastReplyHeader{0, {}, 0, 0, 0, 0};
bool LastReplyWasNotice = false;
bool ReplyArrived = false;
int ReplyTimeoutSeconds = 0;
int IdleTicks = 0;
std::array<std::uint8_t, 17> RxHeaderBuffer{};
std::array<std::uint8_t, 19> RxNoticeBuffer{};
std::uint8_t* RxPayloadCursor = TransferBuffer.data();
bool RxPayloadDiscard = false;
bool AbortTransactions = false;

void ResetLinkState() {
  TransferBuffer.fill(0);
  LastReplyHeader = FrameHeader{0, {}, 0, 0, 0, 0};
  LastReplyWasNotice = false;
  ReplyArrived = false;
  ReplyTimeoutSeconds = 0;
  IdleTicks = 0;
  RxHeaderBuffer.fill(0);
  RxNoticeBuffer.fill(0);
  RxPayloadCursor = TransferBuffer.data();
  RxPayloadDiscard = false;
  AbortTransactions = false;
}

}  // namespace telvora
