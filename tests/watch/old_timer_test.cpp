#include "watch/old_timer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace velmora::watch {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using platform::PlainMainLoop;

TEST(TOldTimer, AsksForNoSystemTimerWithoutOnTimer) {
  PlainMainLoop loop(0); // refuses every timer, so any request would throw
  TOldTimer timer(loop);
  EXPECT_TRUE(timer.Enabled());
  EXPECT_EQ(timer.Interval(), 1000u);
  EXPECT_NO_THROW(timer.SetInterval(50));
  EXPECT_NO_THROW(timer.SetEnabled(false));
  EXPECT_NO_THROW(timer.SetEnabled(true));
  try {
    timer.SetOnTimer([](TOldTimer&) {});
    FAIL() << "the refused timer went unreported";
  } catch (const EOutOfResources& error) {
    EXPECT_STREQ(error.what(), "No more Timers");
  }
}

TEST(TOldTimer, RefusedTimerKeepsEnabledAndStaysOffUntilSwitchedOffAndOn) {
  PlainMainLoop loop(1);
  int otherOwner = 0;
  ASSERT_TRUE(loop.setTimer(&otherOwner, 1000ms, [] {}));
  TOldTimer timer(loop);
  timer.SetEnabled(false);
  timer.SetOnTimer([](TOldTimer&) {});
  EXPECT_THROW(timer.SetEnabled(true), EOutOfResources);
  EXPECT_TRUE(timer.Enabled());
  EXPECT_NO_THROW(timer.SetEnabled(true)); // the same value: nothing happens
  timer.SetEnabled(false);
  EXPECT_THROW(timer.SetEnabled(true), EOutOfResources);
}

TEST(TOldTimer, AssigningOnTimerStartsTheDefaultPeriod) {
  PlainMainLoop loop;
  TOldTimer timer(loop);
  std::vector<Clock::time_point> ticks;
  const auto assigned = Clock::now();
  timer.SetOnTimer([&](TOldTimer& sender) {
    EXPECT_EQ(&sender, &timer);
    ticks.push_back(Clock::now());
  });
  ASSERT_TRUE(loop.runUntil([&] { return !ticks.empty(); }, 5s));
  EXPECT_GE(ticks[0] - assigned, 990ms);
}

TEST(TOldTimer, IntervalZeroStopsTheTicks) {
  PlainMainLoop loop;
  TOldTimer timer(loop);
  timer.SetInterval(20);
  int ticks = 0;
  timer.SetOnTimer([&](TOldTimer&) { ++ticks; });
  ASSERT_TRUE(loop.runUntil([&] { return ticks >= 2; }, 5s));
  timer.SetInterval(0);
  const int stoppedAt = ticks;
  loop.runFor(200ms);
  EXPECT_EQ(ticks, stoppedAt);
  timer.SetInterval(20);
  EXPECT_TRUE(loop.runUntil([&] { return ticks > stoppedAt; }, 5s));
}

TEST(TOldTimer, OnlyAnEffectiveChangeRestartsThePeriod) {
  // 1000 ms period; at 300 ms a property is set. Setting Enabled to true again
  // keeps the first tick at about 1000 ms; assigning OnTimer again moves it to
  // about 1300 ms.
  struct Case {
    const char* name;
    bool reassignOnTimer;
  };
  for (const Case& c : {Case{"Enabled true again", false}, Case{"OnTimer again", true}}) {
    SCOPED_TRACE(c.name);
    PlainMainLoop loop;
    TOldTimer timer(loop);
    timer.SetInterval(1000);
    std::vector<Clock::time_point> ticks;
    const auto onTick = [&](TOldTimer&) { ticks.push_back(Clock::now()); };
    const auto start = Clock::now();
    timer.SetOnTimer(onTick);
    loop.runFor(300ms);
    ASSERT_TRUE(ticks.empty());
    if (c.reassignOnTimer)
      timer.SetOnTimer(onTick);
    else
      timer.SetEnabled(true);
    ASSERT_TRUE(loop.runUntil([&] { return !ticks.empty(); }, 5s));
    if (c.reassignOnTimer)
      EXPECT_GE(ticks[0] - start, 1295ms);
    else
      EXPECT_LT(ticks[0] - start, 1295ms);
  }
}

TEST(TOldTimer, SwitchedOnFromAnotherThreadTicksOnTheLoopThread) {
  PlainMainLoop loop;
  TOldTimer timer(loop);
  timer.SetEnabled(false);
  timer.SetInterval(50);
  std::atomic<int> ticks = 0;
  std::thread::id tickThread;
  timer.SetOnTimer([&](TOldTimer&) {
    tickThread = std::this_thread::get_id();
    ++ticks;
  });
  loop.runFor(100ms);
  ASSERT_EQ(ticks, 0);
  std::thread::id switcher;
  std::thread worker([&] {
    switcher = std::this_thread::get_id();
    timer.SetEnabled(true);
  });
  worker.join();
  ASSERT_TRUE(loop.runUntil([&] { return ticks >= 1; }, 5s));
  EXPECT_EQ(tickThread, std::this_thread::get_id());
  EXPECT_NE(tickThread, switcher);
}

TEST(TOldTimer, ErrorInOnTimerReachesTheErrorHandlerOncePerTick) {
  PlainMainLoop loop;
  std::vector<std::string> errors;
  loop.setErrorHandler([&](const std::string& message) { errors.push_back(message); });
  TOldTimer timer(loop);
  timer.SetInterval(30);
  int ticks = 0;
  timer.SetOnTimer([&](TOldTimer&) {
    ++ticks;
    throw std::runtime_error("tick " + std::to_string(ticks));
  });
  ASSERT_TRUE(loop.runUntil([&] { return ticks >= 4; }, 5s));
  ASSERT_EQ(errors.size(), static_cast<std::size_t>(ticks));
  for (int i = 0; i < ticks; ++i)
    EXPECT_EQ(errors[i], "tick " + std::to_string(i + 1));
}

TEST(TOldTimer, DestroyingTheTimerDropsItsWaitingTick) {
  PlainMainLoop loop;
  int ticks = 0;
  auto timer = std::make_unique<TOldTimer>(loop);
  timer->SetInterval(10);
  timer->SetOnTimer([&](TOldTimer&) { ++ticks; });
  loop.post([&] {
    std::this_thread::sleep_for(30ms); // the loop is busy; a tick is waiting now
    timer.reset();
  });
  loop.runFor(100ms);
  EXPECT_EQ(ticks, 0);
}

} // namespace
} // namespace velmora::watch
