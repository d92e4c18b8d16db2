// The Qt message loop: order of posted messages from any thread, the tick and its
// re-entrancy, and a wait that sleeps until something arrives or its deadline.
#include <QAbstractEventDispatcher>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/qt/qt_message_loop.h"
#include "tests/qt/qt_test_app.h"

namespace telvora {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

struct Delivered {
  unsigned message;
  std::uintptr_t wParam;
  std::intptr_t lParam;
};

class Recorder : public MessageHandler {
 public:
  void HandleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
    if (message == WM_TIMER) {
      tick_times.push_back(Clock::now());
      tick_params.push_back(wParam);
      if (on_tick) {
        on_tick();
      }
    } else {
      messages.push_back({message, wParam, lParam});
    }
  }

  std::vector<Delivered> messages;
  std::vector<Clock::time_point> tick_times;
  std::vector<std::uintptr_t> tick_params;
  std::function<void()> on_tick;
};

// Counts how often the thread's event loop wakes up while alive.
class WakeCounter {
 public:
  WakeCounter() {
    connection_ = QObject::connect(QAbstractEventDispatcher::instance(),
                                   &QAbstractEventDispatcher::awake, [this] { ++count_; });
  }
  ~WakeCounter() { QObject::disconnect(connection_); }
  WakeCounter(const WakeCounter&) = delete;
  WakeCounter& operator=(const WakeCounter&) = delete;
  int count() const { return count_; }

 private:
  QMetaObject::Connection connection_;
  int count_ = 0;
};

class QtMessageLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApplication();
    loop_ = std::make_unique<QtMessageLoop>(&recorder_);
  }
  void TearDown() override { loop_.reset(); }

  // Dispatches until `done` holds or two seconds pass.
  bool RunUntil(const std::function<bool()>& done) {
    const auto deadline = Clock::now() + std::chrono::seconds(2);
    while (!done() && Clock::now() < deadline) {
      loop_->DispatchUntil(deadline);
    }
    return done();
  }

  Recorder recorder_;
  std::unique_ptr<QtMessageLoop> loop_;
};

TEST_F(QtMessageLoopTest, PostedMessagesArriveInOrderWithTheirParameters) {
  loop_->Post(WM_RX_FRAME);
  loop_->Post(WM_RELAY_STATUS, 0, 215);
  loop_->Post(WM_RX_BYTE, 0xAA, -1);
  loop_->Post(WM_PORT_DATA, UINTPTR_MAX, INTPTR_MIN);
  ASSERT_TRUE(RunUntil([&] { return recorder_.messages.size() == 4; }));
  EXPECT_EQ(recorder_.messages[0].message, WM_RX_FRAME);
  EXPECT_EQ(recorder_.messages[1].message, WM_RELAY_STATUS);
  EXPECT_EQ(recorder_.messages[1].lParam, 215);
  EXPECT_EQ(recorder_.messages[2].wParam, 0xAAu);
  EXPECT_EQ(recorder_.messages[2].lParam, -1);
  EXPECT_EQ(recorder_.messages[3].wParam, UINTPTR_MAX);
  EXPECT_EQ(recorder_.messages[3].lParam, INTPTR_MIN);
  EXPECT_EQ(loop_->Dispatched(), 4u);
}

TEST_F(QtMessageLoopTest, PostsFromWorkersKeepEachWorkersOrder) {
  constexpr int kWorkers = 4;
  constexpr int kEach = 500;
  std::vector<std::thread> workers;
  workers.reserve(kWorkers);
  for (int w = 0; w < kWorkers; ++w) {
    workers.emplace_back([this, w] {
      for (int i = 0; i < kEach; ++i) {
        loop_->Post(WM_PORT_DATA, std::uintptr_t(w), i);
      }
    });
  }
  ASSERT_TRUE(RunUntil([&] { return recorder_.messages.size() == kWorkers * kEach; }));
  for (std::thread& t : workers) {
    t.join();
  }
  std::vector<std::intptr_t> next(kWorkers, 0);
  for (const Delivered& d : recorder_.messages) {
    ASSERT_LT(d.wParam, std::uintptr_t(kWorkers));
    EXPECT_EQ(d.lParam, next[d.wParam]) << "worker " << d.wParam;
    next[d.wParam] = d.lParam + 1;
  }
}

TEST_F(QtMessageLoopTest, WaitReturnsOnceAMessageFromAnotherThreadIsHandled) {
  std::thread poster([this] { loop_->Post(WM_RX_FRAME); });
  loop_->DispatchUntil(Clock::now() + std::chrono::seconds(10));
  poster.join();
  ASSERT_EQ(recorder_.messages.size(), 1u);
  EXPECT_EQ(recorder_.messages[0].message, WM_RX_FRAME);
}

TEST_F(QtMessageLoopTest, IdleWaitSleepsUntilItsDeadline) {
  const auto deadline = Clock::now() + milliseconds(200);
  const WakeCounter wakes;
  loop_->DispatchUntil(deadline);
  EXPECT_GE(Clock::now(), deadline);
  EXPECT_EQ(loop_->Dispatched(), 0u);
  // A spinning wait wakes thousands of times; a sleeping one a handful.
  EXPECT_LE(wakes.count(), 10);
}

TEST_F(QtMessageLoopTest, WaitWithAPassedDeadlineReturnsAtOnce) {
  loop_->Post(WM_RX_FRAME);
  const WakeCounter wakes;
  loop_->DispatchUntil(Clock::now() - milliseconds(1));
  EXPECT_EQ(wakes.count(), 0);
  // The message is still queued for the next wait.
  loop_->DispatchUntil(Clock::now() + std::chrono::seconds(2));
  EXPECT_EQ(recorder_.messages.size(), 1u);
}

TEST_F(QtMessageLoopTest, TicksComeAboutEveryTenMilliseconds) {
  loop_->StartTimer();
  const auto start = Clock::now();
  const auto end = start + milliseconds(300);
  const WakeCounter wakes;
  while (Clock::now() < end) {
    loop_->DispatchUntil(end);
  }
  loop_->StopTimer();
  const auto ticks = static_cast<int>(recorder_.tick_times.size());
  // 30 at the nominal period; a loaded machine may lose some, none may come early.
  EXPECT_GE(ticks, 5);
  EXPECT_LE(ticks, 32);
  for (std::uintptr_t id : recorder_.tick_params) {
    EXPECT_EQ(id, 1u);
  }
  // Each wait wakes for its tick and little else.
  EXPECT_LE(wakes.count(), 3 * ticks + 10);
}

// The probe of the port search waits inside the tick; ticks must go on meanwhile, or the
// reply would never be drained.
TEST_F(QtMessageLoopTest, TicksContinueWhileATickHandlerWaits) {
  int nested = 0;
  bool in_outer = false;
  recorder_.on_tick = [&] {
    if (in_outer) {
      ++nested;
      return;
    }
    in_outer = true;
    const auto deadline = Clock::now() + std::chrono::seconds(2);
    while (nested < 5 && Clock::now() < deadline) {
      loop_->DispatchUntil(deadline);
    }
    in_outer = false;
  };
  loop_->StartTimer();
  ASSERT_TRUE(RunUntil([&] { return nested >= 5 && !in_outer; }));
  loop_->StopTimer();
  EXPECT_GE(nested, 5);
}

TEST_F(QtMessageLoopTest, PostedMessagesReachAHandlerWaitingInAnother) {
  std::vector<unsigned> order;
  bool waited = false;
  recorder_.on_tick = [&] {
    if (waited) {
      return;
    }
    waited = true;
    loop_->StopTimer();
    loop_->Post(WM_RX_FRAME);
    const std::size_t before = recorder_.messages.size();
    loop_->DispatchUntil(Clock::now() + std::chrono::seconds(2));
    order.push_back(recorder_.messages.size() > before ? 1u : 0u);
  };
  loop_->StartTimer();
  ASSERT_TRUE(RunUntil([&] { return waited && !order.empty(); }));
  EXPECT_EQ(order, std::vector<unsigned>{1u});
}

// The relay's socket calls block the window's thread for seconds; afterwards the loop must
// not deliver the missed ticks in a burst.
TEST_F(QtMessageLoopTest, TicksMissedWhileTheThreadWasBlockedAreNotPiledUp) {
  loop_->StartTimer();
  ASSERT_TRUE(RunUntil([&] { return !recorder_.tick_times.empty(); }));
  // Stands for a blocking socket call on the window's thread.
  std::this_thread::sleep_for(milliseconds(150));
  const std::size_t before = recorder_.tick_times.size();
  const auto after_block = Clock::now();
  const auto end = after_block + milliseconds(5);
  while (Clock::now() < end) {
    loop_->DispatchUntil(end);
  }
  loop_->StopTimer();
  EXPECT_LE(recorder_.tick_times.size() - before, 2u);
}

TEST_F(QtMessageLoopTest, StoppedTimerDeliversNoQueuedTick) {
  loop_->StartTimer(milliseconds(1));
  ASSERT_TRUE(RunUntil([&] { return recorder_.tick_times.size() >= 2; }));
  loop_->StopTimer();
  const std::size_t ticks = recorder_.tick_times.size();
  loop_->DispatchUntil(Clock::now() + milliseconds(50));
  EXPECT_EQ(recorder_.tick_times.size(), ticks);
  EXPECT_FALSE(loop_->TimerRunning());
}

TEST_F(QtMessageLoopTest, MessagesWithoutAHandlerAreCountedAndDropped) {
  loop_->SetHandler(nullptr);
  loop_->Post(WM_RX_FRAME);
  loop_->DispatchUntil(Clock::now() + std::chrono::seconds(2));
  EXPECT_EQ(loop_->Dispatched(), 1u);
  EXPECT_TRUE(recorder_.messages.empty());
}

TEST_F(QtMessageLoopTest, DestroyingTheLoopDropsWhatIsStillQueued) {
  loop_->Post(WM_RX_FRAME);
  loop_.reset();
  QCoreApplication::processEvents();
  EXPECT_TRUE(recorder_.messages.empty());
}

}  // namespace
}  // namespace telvora
