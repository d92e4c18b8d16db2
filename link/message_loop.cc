// The application's main window as the link sees it.
#include "link/message_loop.h"

#include <atomic>

namespace telvora {

namespace {
std::atomic<MessageLoop*> g_mainLoop{nullptr};
}

MessageLoop* MainMessageLoop() {
  return g_mainLoop.load(std::memory_order_acquire);
}
void SetMainMessageLoop(MessageLoop* loop) {
  g_mainLoop.store(loop, std::memory_order_release);
}

}  // namespace telvora
