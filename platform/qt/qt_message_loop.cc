// Window messages as Qt events, and a wait that sleeps in the event loop.
#include "platform/qt/qt_message_loop.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>

namespace telvora {
namespace {

// Timer number of the main loop's tick, as the window timer was numbered.
constexpr std::uintptr_t kTickTimerId = 1;

QEvent::Type MessageEventType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

QEvent::Type TickEventType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

class MessageEvent final : public QEvent {
 public:
  MessageEvent(unsigned message, std::uintptr_t wParam, std::intptr_t lParam)
      : QEvent(MessageEventType()), message_(message), wParam_(wParam), lParam_(lParam) {}

  unsigned message() const { return message_; }
  std::uintptr_t wParam() const { return wParam_; }
  std::intptr_t lParam() const { return lParam_; }

 private:
  unsigned message_;
  std::uintptr_t wParam_;
  std::intptr_t lParam_;
};

}  // namespace

QtMessageLoop::QtMessageLoop(MessageHandler* handler, QObject* parent)
    : QObject(parent), handler_(handler) {
  // Register both event types here, on the owning thread, before any worker posts.
  MessageEventType();
  TickEventType();
  timer_.setTimerType(Qt::PreciseTimer);
  // The timer only queues the tick: a tick handler that waits in DispatchUntil would
  // otherwise hold Qt's timer, which does not fire again until its slot returns.
  connect(&timer_, &QTimer::timeout, this, [this] {
    if (tick_queued_) {
      return;
    }
    tick_queued_ = true;
    QCoreApplication::postEvent(this, new QEvent(TickEventType()));
  });
}

QtMessageLoop::~QtMessageLoop() = default;

void QtMessageLoop::StartTimer(std::chrono::milliseconds period) {
  timer_.start(period);
}

void QtMessageLoop::StopTimer() {
  timer_.stop();
}

void QtMessageLoop::Post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
  QCoreApplication::postEvent(this, new MessageEvent(message, wParam, lParam));
}

bool QtMessageLoop::event(QEvent* event) {
  if (event->type() == MessageEventType()) {
    const auto* m = static_cast<const MessageEvent*>(event);
    Deliver(m->message(), m->wParam(), m->lParam());
    return true;
  }
  if (event->type() == TickEventType()) {
    tick_queued_ = false;
    // A stopped timer ticks no more, even with a tick already queued.
    if (timer_.isActive()) {
      Deliver(WM_TIMER, kTickTimerId, 0);
    }
    return true;
  }
  return QObject::event(event);
}

void QtMessageLoop::Deliver(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
  ++dispatched_;
  if (handler_ != nullptr) {
    handler_->HandleMessage(message, wParam, lParam);
  }
}

void QtMessageLoop::DispatchUntil(Deadline deadline) {
  using std::chrono::steady_clock;
  const unsigned long before = dispatched_;
  bool due = false;
  QTimer alarm;
  alarm.setSingleShot(true);
  alarm.setTimerType(Qt::PreciseTimer);
  QObject::connect(&alarm, &QTimer::timeout, [&due] { due = true; });
  const auto arm = [&] {
    const auto left = deadline - steady_clock::now();
    if (left <= steady_clock::duration::zero()) {
      due = true;
      return;
    }
    // Rounded up, so that the alarm never rings before the deadline.
    alarm.start(std::chrono::ceil<std::chrono::milliseconds>(left));
  };
  arm();
  while (dispatched_ == before) {
    if (due) {
      if (steady_clock::now() >= deadline) {
        break;
      }
      due = false;
      arm();
      continue;
    }
    // Sleeps until some event arrives: a message, a tick, the alarm, or the user.
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  }
}

}  // namespace telvora
