#include "spooler/app/qt_main_loop.h"

#include "qt_test_application.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace velmora::spooler::app {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::processEventsFor;
using test::processEventsUntil;

TEST(QtMainLoop, PostedTasksRunInOrderOnTheGuiThread) {
  QtMainLoop loop;
  std::vector<int> order;
  std::vector<std::thread::id> threads;
  std::thread poster([&] {
    for (int i = 0; i < 100; ++i)
      loop.post([&, i] {
        order.push_back(i);
        threads.push_back(std::this_thread::get_id());
      });
  });
  poster.join();
  ASSERT_TRUE(processEventsUntil([&] { return order.size() == 100; }, 5s));
  for (int i = 0; i < 100; ++i)
    EXPECT_EQ(order[i], i);
  for (const auto id : threads)
    EXPECT_EQ(id, std::this_thread::get_id());
}

TEST(QtMainLoop, TimerSwitchedOnFromAnotherThreadTicksOnTheGuiThreadUntilKilled) {
  QtMainLoop loop;
  int owner = 0;
  std::atomic<int> ticks = 0;
  std::atomic<bool> offThread = false;
  const auto guiThread = std::this_thread::get_id();
  std::thread([&] {
    EXPECT_TRUE(loop.setTimer(&owner, 20ms, [&] {
      if (std::this_thread::get_id() != guiThread)
        offThread = true;
      ++ticks;
    }));
  }).join();
  ASSERT_TRUE(processEventsUntil([&] { return ticks >= 3; }, 5s));
  EXPECT_FALSE(offThread);

  // Killed from another thread: once killTimer() returned, no tick starts,
  // although the QTimer itself is stopped only by a queued call.
  std::thread([&] { loop.killTimer(&owner); }).join();
  const int atKill = ticks;
  processEventsFor(150ms);
  EXPECT_EQ(ticks, atKill);
  loop.killTimer(&owner); // killing a stopped timer does nothing
}

TEST(QtMainLoop, KilledOrRestartedTimerDropsItsWaitingTick) {
  QtMainLoop loop;
  int killed = 0;
  int restarted = 0;
  int killedTicks = 0;
  std::vector<Clock::time_point> restartedTicks;
  ASSERT_TRUE(loop.setTimer(&killed, 10ms, [&] { ++killedTicks; }));
  ASSERT_TRUE(loop.setTimer(&restarted, 10ms, [&] { restartedTicks.push_back(Clock::now()); }));
  Clock::time_point restartedAt;
  loop.post([&] {
    std::this_thread::sleep_for(50ms); // a tick of each timer is due now
    loop.killTimer(&killed);
    loop.setTimer(&restarted, 100ms, [&] { restartedTicks.push_back(Clock::now()); });
    restartedAt = Clock::now();
  });
  ASSERT_TRUE(processEventsUntil([&] { return !restartedTicks.empty(); }, 5s));
  EXPECT_EQ(killedTicks, 0);
  // The restarted timer's first tick comes a whole new period later.
  EXPECT_GE(restartedTicks.front() - restartedAt, 90ms);
  loop.killTimer(&restarted);
}

TEST(QtMainLoop, ATimerKilledOrRestartedByAnotherTickInTheSameRoundDoesNotTick) {
  // All three timers are due together after the busy task; Qt fires due
  // timers in one round, before the queued calls that stop or restart a QTimer.
  QtMainLoop loop;
  int first = 0;
  int killed = 0;
  int restarted = 0;
  int firstTicks = 0;
  int otherTicks = 0;
  ASSERT_TRUE(loop.setTimer(&first, 10ms, [&] {
    if (++firstTicks > 1)
      return;
    loop.killTimer(&killed);
    loop.setTimer(&restarted, 10s, [&] { ++otherTicks; });
  }));
  ASSERT_TRUE(loop.setTimer(&killed, 10ms, [&] { ++otherTicks; }));
  ASSERT_TRUE(loop.setTimer(&restarted, 10ms, [&] { ++otherTicks; }));
  loop.post([] { std::this_thread::sleep_for(50ms); });
  ASSERT_TRUE(processEventsUntil([&] { return firstTicks >= 3; }, 5s));
  loop.killTimer(&first);
  loop.killTimer(&restarted);
  EXPECT_EQ(otherTicks, 0);
}

TEST(QtMainLoop, TicksDoNotPileUpWhileTheGuiThreadIsBusy) {
  QtMainLoop loop;
  int owner = 0;
  std::vector<Clock::time_point> ticks;
  ASSERT_TRUE(loop.setTimer(&owner, 10ms, [&] { ticks.push_back(Clock::now()); }));
  Clock::time_point busyEnd;
  loop.post([&] {
    std::this_thread::sleep_for(200ms); // the GUI thread is busy for 20 periods
    busyEnd = Clock::now();
  });
  ASSERT_TRUE(processEventsUntil(
      [&] {
        return busyEnd != Clock::time_point{} && !ticks.empty() && ticks.back() > busyEnd + 30ms;
      },
      5s));
  loop.killTimer(&owner);
  // One tick for the 20 periods missed, then one per period again: within
  // 25 ms of the first tick after the busy task come at most three (twenty
  // if they had piled up).
  std::vector<Clock::time_point> after;
  for (const auto tick : ticks)
    if (tick >= busyEnd)
      after.push_back(tick);
  ASSERT_FALSE(after.empty());
  int burst = 0;
  for (const auto tick : after)
    if (tick < after.front() + 25ms)
      ++burst;
  EXPECT_LE(burst, 3);
  EXPECT_EQ(std::count_if(ticks.begin(), ticks.end(),
                          [&](Clock::time_point tick) { return tick < busyEnd; }),
            0)
      << "no tick could run while the task kept the thread busy";
}

TEST(QtMainLoop, ATickMayKillItsOwnTimer) {
  QtMainLoop loop;
  int owner = 0;
  int ticks = 0;
  ASSERT_TRUE(loop.setTimer(&owner, 10ms, [&] {
    ++ticks;
    loop.killTimer(&owner);
  }));
  ASSERT_TRUE(processEventsUntil([&] { return ticks == 1; }, 5s));
  processEventsFor(100ms);
  EXPECT_EQ(ticks, 1);
  // The same owner can start again afterwards.
  ASSERT_TRUE(loop.setTimer(&owner, 10ms, [&] { ++ticks; }));
  ASSERT_TRUE(processEventsUntil([&] { return ticks >= 3; }, 5s));
  loop.killTimer(&owner);
}

TEST(QtMainLoop, ErrorsGoToTheHandlerOnTheGuiThreadOncePerTickAndTheLoopGoesOn) {
  QtMainLoop loop;
  std::vector<std::string> errors;
  std::vector<std::thread::id> handlerThreads;
  loop.setErrorHandler([&](const std::string& message) {
    errors.push_back(message);
    handlerThreads.push_back(std::this_thread::get_id());
  });
  bool after = false;
  loop.post([] { throw std::runtime_error("task failed"); });
  loop.post([&] { after = true; });
  std::thread([&] { loop.reportError("from a worker"); }).join();
  ASSERT_TRUE(processEventsUntil([&] { return errors.size() == 2; }, 5s));
  int owner = 0;
  int ticks = 0;
  ASSERT_TRUE(loop.setTimer(&owner, 20ms, [&] {
    ++ticks;
    throw std::runtime_error("tick failed");
  }));
  ASSERT_TRUE(processEventsUntil([&] { return ticks >= 3; }, 5s));
  loop.killTimer(&owner);
  processEventsFor(50ms);

  EXPECT_TRUE(after);
  ASSERT_EQ(errors.size(), 2u + static_cast<std::size_t>(ticks));
  EXPECT_EQ(errors[0], "task failed");
  EXPECT_EQ(errors[1], "from a worker");
  for (std::size_t i = 2; i < errors.size(); ++i)
    EXPECT_EQ(errors[i], "tick failed");
  for (const auto id : handlerThreads)
    EXPECT_EQ(id, std::this_thread::get_id());
}

TEST(QtMainLoop, TasksPostedBeforeTheLoopIsDestroyedAreDropped) {
  int ran = 0;
  {
    QtMainLoop loop;
    loop.post([&] { ++ran; });
  }
  processEventsFor(50ms);
  EXPECT_EQ(ran, 0);
}

} // namespace
} // namespace velmora::spooler::app
