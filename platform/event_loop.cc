// The headless message loop.
#include "platform/event_loop.h"

#include <algorithm>

namespace telvora {

void HeadlessMessageLoop::StartTimer(std::chrono::milliseconds period) {
  std::lock_guard lock(mutex_);
  ticking_ = true;
  period_ = period;
  nextTick_ = std::chrono::steady_clock::now() + period_;
  wake_.notify_all();
}

void HeadlessMessageLoop::StopTimer() {
  std::lock_guard lock(mutex_);
  ticking_ = false;
}

void HeadlessMessageLoop::Post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back({message, wParam, lParam});
  }
  wake_.notify_one();
}

void HeadlessMessageLoop::DispatchUntil(Deadline deadline) {
  std::unique_lock lock(mutex_);
  for (;;) {
    if (!queue_.empty()) {
      const Message m = queue_.front();
      queue_.pop_front();
      ++dispatched_;
      lock.unlock();
      if (handler_ != nullptr) handler_->HandleMessage(m.message, m.wParam, m.lParam);
      return;
    }
    const auto now = std::chrono::steady_clock::now();
    // Like a window timer, a tick is due only when the queue is empty, and ticks
    // missed while busy are not made up.
    if (ticking_ && now >= nextTick_) {
      nextTick_ = std::max(nextTick_ + period_, now + period_ / 2);
      ++dispatched_;
      lock.unlock();
      if (handler_ != nullptr) handler_->HandleMessage(WM_TIMER, 1, 0);
      return;
    }
    if (now >= deadline) return;
    const Deadline until = ticking_ ? std::min(deadline, nextTick_) : deadline;
    wake_.wait_until(lock, until);
  }
}

bool HeadlessMessageLoop::RunUntil(const std::function<bool()>& done, Deadline deadline) {
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    DispatchUntil(deadline);
  }
  return true;
}

}  // namespace telvora
