// The link's share of the main window's tick and of its messages. The window (Qt) and
// the headless front ends both call these, so the link never depends on a toolkit.
#pragma once

#include "link/fin.h"

namespace telvora {

// Tick step 1: time for the parser's idle rule.
void CountIdleTick();
// Tick step 4: a reader pass when a port has been tried and none is running.
void StartReaderPassIfDue();
// Tick step 5: every byte in the ring, in order, to the main engine's parser.
void DrainReceiveRing(Cfin& mainEngine);
// WM_RX_FRAME: the waiting transaction sees its reply.
void OnFrameComplete();
// WM_PORT_DATA: bytes wait at the port; take them now instead of at the next tick.
void OnPortData(Cfin& mainEngine);
// Start-up: empty ring, no pass running, fresh protocol state.
void ResetLinkForStartup();

}  // namespace telvora
