// Tick steps and message handlers of the link.
#include "link/link_loop.h"

#include "link/link_state.h"
#include "link/uart.h"

namespace telvora {

void CountIdleTick() {
  ++IdleTicks;
}

void StartReaderPassIfDue() {
  if (PortHandle() == PortHandleState::kNull) return;
  if (ReaderRunning.load(std::memory_order_acquire) != 0) return;
  StartReaderPass();
}

void DrainReceiveRing(Cfin& mainEngine) {
  while (RxRing.readIndex != RxRing.writeIndex.load(std::memory_order_acquire)) {
    const std::uint8_t b = RxRing.bytes[RxRing.readIndex];
    RxRing.readIndex = (RxRing.readIndex + 1) & kRxRingMask;
    mainEngine.ParseByte(b);
  }
}

void OnFrameComplete() {
  ReplyArrived = true;
}

void OnPortData(Cfin& mainEngine) {
  PortDataNoticeTaken();
  DrainReceiveRing(mainEngine);
  StartReaderPassIfDue();
}

void ResetLinkForStartup() {
  WaitForReaderIdle();
  ResetRxRing();
  ReaderRunning.store(0, std::memory_order_release);
  ResetLinkState();
}

}  // namespace telvora
