#include "platform/main_loop.h"

#include "platform/caused_error.h"
#include "platform/file_system.h"

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

// The user's text and what the system said travel apart to the handler: from
// an escaping CausedError (FileError, the table layer's EApolloError) and
// from reportError(). A handler of the message alone sees the message only.
TEST(MainLoop, AnErrorsCauseTravelsBesideItsMessage) {
  PlainMainLoop loop;
  std::vector<std::pair<std::string, std::string>> errors;
  loop.setErrorHandler([&](const std::string& message, const std::string& cause) {
    errors.emplace_back(message, cause);
  });
  loop.post([] { throw CausedError("Unable to open table: .\\X.DBF", "X.DBF: damaged header"); });
  loop.post(
      [] { throw FileError("Cannot open file \"/d/x\". Permission denied", "Permission denied"); });
  loop.post([] { throw std::runtime_error("plain"); });
  std::thread([&] {
    loop.reportError("Exception while creating thread", "/d/PREP1: gone");
  }).join();
  ASSERT_TRUE(loop.runUntil([&] { return errors.size() == 4; }, 5s));
  using Report = std::pair<std::string, std::string>;
  EXPECT_EQ(errors[0], Report("Unable to open table: .\\X.DBF", "X.DBF: damaged header"));
  EXPECT_EQ(errors[1], Report("Cannot open file \"/d/x\". Permission denied", "Permission denied"));
  EXPECT_EQ(errors[2], Report("plain", ""));
  EXPECT_EQ(errors[3], Report("Exception while creating thread", "/d/PREP1: gone"));

  std::vector<std::string> messages;
  loop.setErrorHandler([&](const std::string& message) { messages.push_back(message); });
  loop.reportError("shown", "not for this handler");
  ASSERT_TRUE(loop.runUntil([&] { return !messages.empty(); }, 5s));
  EXPECT_EQ(messages, std::vector<std::string>{"shown"});
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
