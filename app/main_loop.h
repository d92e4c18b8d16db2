// The part of the main window's message handling that the window and the headless loop
// share: the tick and the link's messages.
#pragma once

#include <cstdint>

#include "app/port_search.h"
#include "link/fin.h"

namespace telvora {

// Handles WM_TIMER, WM_RX_FRAME, WM_PORT_DATA and WM_RX_BYTE; false for other messages.
bool HandleLinkMessage(unsigned message, std::uintptr_t wParam, Cfin& mainEngine,
                       PortSearch& search);

}  // namespace telvora
