// What every main loop (platform/main_loop.h) promises, checked once for all
// of them: tasks in order on the loop thread, timers switched from any thread
// with immediate effect, ticks that do not pile up, and errors that reach the
// handler while the loop goes on.
//
// A loop's test program instantiates the checks with a driver that owns the
// loop and knows how to run it on the test's thread:
//
//   struct PlainLoopDriver {
//     static constexpr int kTaskBurst = 100; // tasks posted before it runs
//     platform::MainLoop& loop();
//     bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
//     void runFor(std::chrono::milliseconds duration);
//   };
//   INSTANTIATE_TYPED_TEST_SUITE_P(PlainMainLoop, MainLoopContract, PlainLoopDriver);
//
// PumpedLoopDriver is that driver for a loop that the test runs by pumping
// its toolkit's events.
//
// Include this header in one source file of a test program only.
#pragma once

#include "platform/caused_error.h"
#include "platform/file_system.h"
#include "platform/main_loop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace velmora::test {

// The driver of a `Loop` that runs while the test pumps its toolkit's events
// with `RunUntil` and `RunFor`; `TaskBurst` tasks are posted before it runs.
template <class Loop, int TaskBurst,
          bool (*RunUntil)(const std::function<bool()>&, std::chrono::milliseconds),
          void (*RunFor)(std::chrono::milliseconds)>
struct PumpedLoopDriver {
  static constexpr int kTaskBurst = TaskBurst;
  platform::MainLoop& loop() { return pumped; }
  bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    return RunUntil(done, timeout);
  }
  void runFor(std::chrono::milliseconds duration) { RunFor(duration); }
  Loop pumped;
};

template <class Driver> class MainLoopContract : public ::testing::Test {
protected:
  platform::MainLoop& loop() { return driver_.loop(); }
  bool runUntil(const std::function<bool()>& done,
                std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    return driver_.runUntil(done, timeout);
  }
  void runFor(std::chrono::milliseconds duration) { driver_.runFor(duration); }

  Driver driver_;
};

TYPED_TEST_SUITE_P(MainLoopContract);

// Tasks queued before the loop runs (as many as the loop's own queue could
// not hold, where it has a limit) and tasks posted while it runs.
TYPED_TEST_P(MainLoopContract, PostedTasksRunInOrderOnTheLoopThread) {
  using namespace std::chrono_literals;
  auto& loop = this->loop();
  const int queued = TypeParam::kTaskBurst;
  const int total = queued + 100;
  std::vector<int> order;
  std::vector<std::thread::id> threads;
  const auto postRange = [&](int from, int to) {
    for (int i = from; i < to; ++i)
      loop.post([&, i] {
        order.push_back(i);
        threads.push_back(std::this_thread::get_id());
      });
  };
  std::thread(postRange, 0, queued).join();
  std::thread whileRunning(postRange, queued, total);
  const bool allRan = this->runUntil([&] { return order.size() == std::size_t(total); }, 30s);
  whileRunning.join();
  ASSERT_TRUE(allRan) << order.size() << " of " << total << " tasks ran";
  for (int i = 0; i < total; ++i)
    ASSERT_EQ(order[i], i);
  EXPECT_EQ(std::count(threads.begin(), threads.end(), std::this_thread::get_id()), total)
      << "every task runs on the loop thread";
}

TYPED_TEST_P(MainLoopContract, TimerSwitchedFromAnotherThreadTicksOnTheLoopThreadUntilKilled) {
  using namespace std::chrono_literals;
  auto& loop = this->loop();
  int owner = 0;
  std::atomic<int> ticks = 0;
  std::atomic<bool> offThread = false;
  const auto loopThread = std::this_thread::get_id();
  std::thread([&] {
    EXPECT_TRUE(loop.setTimer(&owner, 20ms, [&] {
      if (std::this_thread::get_id() != loopThread)
        offThread = true;
      ++ticks;
    }));
  }).join();
  ASSERT_TRUE(this->runUntil([&] { return ticks >= 3; }));
  EXPECT_FALSE(offThread);

  // Once killTimer() returned on another thread, no tick starts, even where
  // the toolkit's timer itself is stopped later on the loop thread.
  std::thread([&] { loop.killTimer(&owner); }).join();
  const int atKill = ticks;
  this->runFor(150ms);
  EXPECT_EQ(ticks, atKill);
  loop.killTimer(&owner); // killing a stopped timer does nothing
}

TYPED_TEST_P(MainLoopContract, KilledOrRestartedTimerDropsItsWaitingTick) {
  using namespace std::chrono_literals;
  using Clock = std::chrono::steady_clock;
  auto& loop = this->loop();
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
  ASSERT_TRUE(this->runUntil([&] { return !restartedTicks.empty(); }));
  loop.killTimer(&restarted);
  EXPECT_EQ(killedTicks, 0);
  // The restarted timer's first tick comes a whole new period later.
  EXPECT_GE(restartedTicks.front() - restartedAt, 90ms);
}

// All three timers are due together after the busy task; a loop that fires
// every due timer in one round must still honour what an earlier tick of the
// round switched.
TYPED_TEST_P(MainLoopContract, ATimerKilledOrRestartedByAnotherTickOfTheSameRoundDoesNotTick) {
  using namespace std::chrono_literals;
  auto& loop = this->loop();
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
  ASSERT_TRUE(this->runUntil([&] { return firstTicks >= 3; }));
  loop.killTimer(&first);
  loop.killTimer(&restarted);
  EXPECT_EQ(otherTicks, 0);
}

TYPED_TEST_P(MainLoopContract, TicksDoNotPileUpWhileTheLoopIsBusy) {
  using namespace std::chrono_literals;
  using Clock = std::chrono::steady_clock;
  auto& loop = this->loop();
  int owner = 0;
  std::vector<Clock::time_point> ticks;
  ASSERT_TRUE(loop.setTimer(&owner, 10ms, [&] { ticks.push_back(Clock::now()); }));
  Clock::time_point busyEnd;
  loop.post([&] {
    std::this_thread::sleep_for(200ms); // the loop thread is busy for 20 periods
    busyEnd = Clock::now();
  });
  ASSERT_TRUE(this->runUntil([&] {
    return busyEnd != Clock::time_point{} && !ticks.empty() && ticks.back() > busyEnd + 30ms;
  }));
  loop.killTimer(&owner);
  EXPECT_EQ(std::count_if(ticks.begin(), ticks.end(),
                          [&](Clock::time_point tick) { return tick < busyEnd; }),
            0)
      << "no tick could run while the task kept the thread busy";
  // One tick for the 20 periods missed, soon, then one per period again:
  // within 25 ms of the first tick after the busy task come at most three
  // (twenty if they had piled up). The bounds leave room for a busy machine.
  std::vector<Clock::time_point> after;
  for (const auto tick : ticks)
    if (tick >= busyEnd)
      after.push_back(tick);
  ASSERT_FALSE(after.empty());
  EXPECT_LT(after.front() - busyEnd, 100ms) << "the missed tick comes soon";
  EXPECT_LE(std::count_if(after.begin(), after.end(),
                          [&](Clock::time_point tick) { return tick < after.front() + 25ms; }),
            3);
}

TYPED_TEST_P(MainLoopContract, ATickMayKillItsOwnTimerAndStartItAgain) {
  using namespace std::chrono_literals;
  auto& loop = this->loop();
  int owner = 0;
  int ticks = 0;
  ASSERT_TRUE(loop.setTimer(&owner, 10ms, [&] {
    ++ticks;
    loop.killTimer(&owner);
  }));
  ASSERT_TRUE(this->runUntil([&] { return ticks == 1; }));
  this->runFor(150ms);
  EXPECT_EQ(ticks, 1) << "the tick that killed its timer is its last";
  ASSERT_TRUE(loop.setTimer(&owner, 10ms, [&] { ++ticks; }));
  ASSERT_TRUE(this->runUntil([&] { return ticks >= 3; }));
  loop.killTimer(&owner);
}

TYPED_TEST_P(MainLoopContract, ErrorsGoToTheHandlerOnTheLoopThreadOncePerTickAndTheLoopGoesOn) {
  using namespace std::chrono_literals;
  auto& loop = this->loop();
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
  ASSERT_TRUE(this->runUntil([&] { return errors.size() == 2; }));

  int owner = 0;
  int ticks = 0;
  ASSERT_TRUE(loop.setTimer(&owner, 20ms, [&] {
    ++ticks;
    throw std::runtime_error("tick failed");
  }));
  ASSERT_TRUE(this->runUntil([&] { return ticks >= 3; }));
  loop.killTimer(&owner);
  this->runFor(50ms);

  // A tick that kills its own timer before it throws.
  int last = 0;
  ASSERT_TRUE(loop.setTimer(&last, 10ms, [&] {
    loop.killTimer(&last);
    throw std::runtime_error("last tick failed");
  }));
  ASSERT_TRUE(this->runUntil([&] { return errors.back() == "last tick failed"; }));
  this->runFor(50ms);

  EXPECT_TRUE(after);
  ASSERT_EQ(errors.size(), 3u + static_cast<std::size_t>(ticks));
  EXPECT_EQ(errors[0], "task failed");
  EXPECT_EQ(errors[1], "from a worker");
  for (std::size_t i = 2; i < errors.size() - 1; ++i)
    EXPECT_EQ(errors[i], "tick failed");
  EXPECT_EQ(errors.back(), "last tick failed");
  for (const auto id : handlerThreads)
    EXPECT_EQ(id, std::this_thread::get_id());
}

// The user's text and what the system said travel apart to the handler: from
// an escaping CausedError (FileError, the table layer's EApolloError) and
// from reportError(). A handler of the message alone sees the message only.
TYPED_TEST_P(MainLoopContract, AnErrorsCauseTravelsBesideItsMessage) {
  using platform::CausedError;
  using platform::FileError;
  auto& loop = this->loop();
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
  ASSERT_TRUE(this->runUntil([&] { return errors.size() == 4; }));
  using Report = std::pair<std::string, std::string>;
  EXPECT_EQ(errors[0], Report("Unable to open table: .\\X.DBF", "X.DBF: damaged header"));
  EXPECT_EQ(errors[1], Report("Cannot open file \"/d/x\". Permission denied", "Permission denied"));
  EXPECT_EQ(errors[2], Report("plain", ""));
  EXPECT_EQ(errors[3], Report("Exception while creating thread", "/d/PREP1: gone"));

  std::vector<std::string> messages;
  loop.setErrorHandler([&](const std::string& message) { messages.push_back(message); });
  loop.reportError("shown", "not for this handler");
  ASSERT_TRUE(this->runUntil([&] { return !messages.empty(); }));
  EXPECT_EQ(messages, std::vector<std::string>{"shown"});
}

REGISTER_TYPED_TEST_SUITE_P(MainLoopContract, PostedTasksRunInOrderOnTheLoopThread,
                            TimerSwitchedFromAnotherThreadTicksOnTheLoopThreadUntilKilled,
                            KilledOrRestartedTimerDropsItsWaitingTick,
                            ATimerKilledOrRestartedByAnotherTickOfTheSameRoundDoesNotTick,
                            TicksDoNotPileUpWhileTheLoopIsBusy,
                            ATickMayKillItsOwnTimerAndStartItAgain,
                            ErrorsGoToTheHandlerOnTheLoopThreadOncePerTickAndTheLoopGoesOn,
                            AnErrorsCauseTravelsBesideItsMessage);

} // namespace velmora::test
