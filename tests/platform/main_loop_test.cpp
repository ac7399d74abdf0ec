#include "platform/main_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace velmora::platform {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(MainLoop, PostedTasksRunInOrderOnTheLoopThread) {
  PlainMainLoop loop;
  std::vector<int> order;
  std::vector<std::thread::id> threads;
  std::thread poster([&] {
    for (int i = 0; i < 100; ++i)
      loop.post([&, i] {
        order.push_back(i);
        threads.push_back(std::this_thread::get_id());
      });
  });
  ASSERT_TRUE(loop.runUntil([&] { return order.size() == 100; }, 5s));
  poster.join();
  for (int i = 0; i < 100; ++i)
    EXPECT_EQ(order[i], i);
  for (const auto id : threads)
    EXPECT_EQ(id, std::this_thread::get_id());
}

TEST(MainLoop, TimerSetFromAnotherThreadTicksOnTheLoopThreadUntilKilled) {
  PlainMainLoop loop;
  int owner = 0;
  std::atomic<int> ticks = 0;
  std::thread::id tickThread;
  std::thread([&] {
    ASSERT_TRUE(loop.setTimer(&owner, 20ms, [&] {
      tickThread = std::this_thread::get_id();
      ++ticks;
    }));
  }).join();
  ASSERT_TRUE(loop.runUntil([&] { return ticks >= 3; }, 5s));
  EXPECT_EQ(tickThread, std::this_thread::get_id());
  loop.killTimer(&owner);
  const int atKill = ticks;
  loop.runFor(150ms);
  EXPECT_EQ(ticks, atKill);
  loop.killTimer(&owner); // killing a stopped timer does nothing
}

TEST(MainLoop, TicksDoNotPileUpWhileTheLoopIsBusy) {
  PlainMainLoop loop;
  int owner = 0;
  std::vector<Clock::time_point> ticks;
  ASSERT_TRUE(loop.setTimer(&owner, 10ms, [&] { ticks.push_back(Clock::now()); }));
  Clock::time_point busyEnd;
  loop.post([&] {
    std::this_thread::sleep_for(200ms); // the loop thread is busy for 20 periods
    busyEnd = Clock::now();
  });
  ASSERT_TRUE(loop.runUntil([&] { return ticks.size() >= 3; }, 5s));
  // One tick for the 20 periods missed, then one per period again.
  int rightAfter = 0;
  for (const auto tick : ticks)
    if (tick >= busyEnd && tick < busyEnd + 5ms)
      ++rightAfter;
  EXPECT_EQ(rightAfter, 1);
}

TEST(MainLoop, KilledTimerDropsItsWaitingTick) {
  PlainMainLoop loop;
  int owner = 0;
  int ticks = 0;
  ASSERT_TRUE(loop.setTimer(&owner, 10ms, [&] { ++ticks; }));
  loop.post([&] {
    std::this_thread::sleep_for(50ms); // a tick is waiting now
    loop.killTimer(&owner);
  });
  loop.runFor(150ms);
  EXPECT_EQ(ticks, 0);
}

TEST(MainLoop, ErrorsOfTasksAndTicksGoToTheHandlerAndTheLoopGoesOn) {
  PlainMainLoop loop;
  std::vector<std::string> errors;
  std::vector<std::thread::id> handlerThreads;
  loop.setErrorHandler([&](const std::string& message) {
    errors.push_back(message);
    handlerThreads.push_back(std::this_thread::get_id());
  });
  bool after = false;
  loop.post([] { throw std::runtime_error("task failed"); });
  loop.post([&] { after = true; });
  int owner = 0;
  int ticks = 0;
  ASSERT_TRUE(loop.setTimer(&owner, 20ms, [&] {
    ++ticks;
    throw std::runtime_error("tick failed");
  }));
  std::thread([&] { loop.reportError("from a worker"); }).join();
  ASSERT_TRUE(loop.runUntil([&] { return ticks >= 3; }, 5s));
  loop.killTimer(&owner);

  EXPECT_TRUE(after);
  ASSERT_EQ(errors.size(), 5u);
  EXPECT_EQ(errors[0], "task failed");
  EXPECT_EQ(errors[1], "from a worker");
  for (std::size_t i = 2; i < errors.size(); ++i)
    EXPECT_EQ(errors[i], "tick failed");
  for (const auto id : handlerThreads)
    EXPECT_EQ(id, std::this_thread::get_id());
}

TEST(MainLoop, RefusesTimersBeyondItsLimit) {
  PlainMainLoop loop(1);
  int first = 0;
  int second = 0;
  EXPECT_TRUE(loop.setTimer(&first, 1000ms, [] {}));
  EXPECT_FALSE(loop.setTimer(&second, 1000ms, [] {}));
  EXPECT_TRUE(loop.setTimer(&first, 500ms, [] {})); // the same owner starts anew
  loop.killTimer(&first);
  EXPECT_TRUE(loop.setTimer(&second, 1000ms, [] {}));
}

TEST(MainLoop, QuitFromAnotherThreadEndsRun) {
  PlainMainLoop loop;
  bool ran = false;
  loop.post([&] { ran = true; });
  std::thread quitter([&] {
    std::this_thread::sleep_for(50ms);
    loop.quit();
  });
  const auto start = Clock::now();
  loop.run();
  quitter.join();
  EXPECT_TRUE(ran);
  EXPECT_LT(Clock::now() - start, 5s);
  EXPECT_FALSE(loop.isLoopThread());
}

} // namespace
} // namespace velmora::platform
