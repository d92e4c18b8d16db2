// The seam between the device link and whatever runs the program's message loop
// (the Qt window or the headless loop of the command line and the tests).
#pragma once

#include <chrono>
#include <cstdint>

namespace telvora {

// Message numbers of the main window, kept as the unit's tool always numbered them.
inline constexpr unsigned WM_USER = 0x0400;
inline constexpr unsigned WM_RX_BYTE = WM_USER + 1;       // one received byte in wParam
inline constexpr unsigned WM_RX_FRAME = WM_USER + 2;      // a frame or notice line is complete
inline constexpr unsigned WM_RELAY_STATUS = WM_USER + 3;  // string id in lParam
// Posted by the reader worker when bytes wait at the port, so that they are taken
// without waiting for the next tick.
inline constexpr unsigned WM_PORT_DATA = WM_USER + 4;
inline constexpr unsigned WM_TIMER = 0x0113;

inline constexpr std::chrono::milliseconds kTickPeriod{10};

// What the main window does with the messages that the loop delivers to it.
class MessageHandler {
 public:
  virtual ~MessageHandler() = default;
  virtual void HandleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
};

// The main window's message queue. Post may be called from any thread; everything
// else runs on the thread that owns the loop.
class MessageLoop {
 public:
  using Deadline = std::chrono::steady_clock::time_point;

  virtual ~MessageLoop() = default;
  virtual void Post(unsigned message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0) = 0;
  // Blocks until at least one message (a posted one or a timer tick) has been
  // dispatched, or until the deadline; never spins.
  virtual void DispatchUntil(Deadline deadline) = 0;
};

// The application's main window: where the parser and the relay post to, and the
// loop a transaction waits in. Null while no window exists.
MessageLoop* MainMessageLoop();
void SetMainMessageLoop(MessageLoop* loop);

}  // namespace telvora
