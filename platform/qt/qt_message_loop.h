// The main window's message queue on Qt's event loop: posted messages from any thread and
// the 10 ms tick, both delivered to one handler on the window's thread.
#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstdint>

#include "link/message_loop.h"

namespace telvora {

class QtMessageLoop final : public QObject, public MessageLoop {
  Q_OBJECT

 public:
  // Lives on the thread that creates it, which must run a Qt event loop (or dispatch
  // through DispatchUntil). Messages still queued when it is destroyed are dropped, so
  // workers that post must have ended by then.
  explicit QtMessageLoop(MessageHandler* handler = nullptr, QObject* parent = nullptr);
  ~QtMessageLoop() override;

  void SetHandler(MessageHandler* handler) { handler_ = handler; }

  // WM_TIMER with wParam 1 every `period`. A tick that falls due while the previous one
  // still waits in the queue is dropped rather than piled up, as a window timer does;
  // ticks keep coming while a handler waits inside DispatchUntil.
  void StartTimer(std::chrono::milliseconds period = kTickPeriod);
  void StopTimer();
  bool TimerRunning() const { return timer_.isActive(); }

  void Post(unsigned message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0) override;
  // Runs Qt's event loop (so the window stays alive) until a posted message or a tick has
  // reached the handler, or the deadline has come; sleeps in between.
  void DispatchUntil(Deadline deadline) override;

  // Messages and ticks delivered so far.
  unsigned long Dispatched() const { return dispatched_; }

 protected:
  bool event(QEvent* event) override;

 private:
  void Deliver(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

  MessageHandler* handler_;
  QTimer timer_;
  bool tick_queued_ = false;
  unsigned long dispatched_ = 0;
};

}  // namespace telvora
