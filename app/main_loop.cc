// The tick and the link's messages.
#include "app/main_loop.h"

#include "link/link_loop.h"
#include "link/message_loop.h"

namespace telvora {

bool HandleLinkMessage(unsigned message, std::uintptr_t wParam, Cfin& mainEngine,
                       PortSearch& search) {
  switch (message) {
    case WM_TIMER:
      CountIdleTick();
      search.Tick();
      StartReaderPassIfDue();
      DrainReceiveRing(mainEngine);
      return true;
    case WM_RX_FRAME:
      OnFrameComplete();
      search.OnFrameComplete();
      return true;
    case WM_PORT_DATA:
      OnPortData(mainEngine);
      return true;
    case WM_RX_BYTE:
      mainEngine.ParseByte(static_cast<std::uint8_t>(wParam & 0xFFU));
      return true;
    default:
      return false;
  }
}

}  // namespace telvora
