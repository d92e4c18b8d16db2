// A message loop without a window, for the command line, the tests and the benchmarks:
// posted messages first, then the 10 ms tick, and a blocking wait in between.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "link/message_loop.h"

namespace telvora {

class HeadlessMessageLoop final : public MessageLoop {
 public:
  explicit HeadlessMessageLoop(MessageHandler* handler = nullptr) : handler_(handler) {}

  void SetHandler(MessageHandler* handler) { handler_ = handler; }
  void StartTimer(std::chrono::milliseconds period = kTickPeriod);
  void StopTimer();

  void Post(unsigned message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0) override;
  void DispatchUntil(Deadline deadline) override;

  // Dispatches until `done` holds (checked after every dispatch) or the deadline.
  // Returns whether `done` held.
  bool RunUntil(const std::function<bool()>& done, Deadline deadline = Deadline::max());

  // Ticks and messages dispatched so far (for the idle benchmarks).
  unsigned long Dispatched() const { return dispatched_; }

 private:
  struct Message {
    unsigned message;
    std::uintptr_t wParam;
    std::intptr_t lParam;
  };

  MessageHandler* handler_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Message> queue_;
  bool ticking_ = false;
  std::chrono::milliseconds period_{kTickPeriod};
  Deadline nextTick_{};
  unsigned long dispatched_ = 0;
};

}  // namespace telvora
