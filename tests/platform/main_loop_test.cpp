// The plain loop of the console program and the tests: the promises of every
// main loop (main_loop_contract.h), its limit of timers, and run() until quit().
#include "platform/main_loop.h"

#include "main_loop_contract.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

namespace velmora::test {

struct PlainLoopDriver {
  static constexpr int kTaskBurst = 100;
  platform::MainLoop& loop() { return plain; }
  bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    return plain.runUntil(done, timeout);
  }
  void runFor(std::chrono::milliseconds duration) { plain.runFor(duration); }
  platform::PlainMainLoop plain;
};
INSTANTIATE_TYPED_TEST_SUITE_P(PlainMainLoop, MainLoopContract, PlainLoopDriver);

} // namespace velmora::test

namespace velmora::platform {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

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
