// The main loop on the Windows message loop: the same promises as the plain
// loop (main_loop_test.cpp), and tasks and ticks going on while a modal
// message box runs its own loop.
#include "platform/window_main_loop.h"
#include "window_test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

namespace velmora::platform {
namespace {

using namespace std::chrono_literals;
using test::pumpFor;
using test::pumpUntil;

TEST(WindowMainLoop, PostedTasksRunInOrderOnTheWindowThread) {
  WindowMainLoop loop;
  std::vector<int> order;
  std::vector<std::thread::id> threads;
  std::thread poster([&] {
    for (int i = 0; i < 12000; ++i) // beyond the message queue's limit of 10,000
      loop.post([&, i] {
        order.push_back(i);
        threads.push_back(std::this_thread::get_id());
      });
  });
  poster.join();
  ASSERT_TRUE(pumpUntil([&] { return order.size() == 12000; }, 30s));
  for (int i = 0; i < 12000; ++i)
    ASSERT_EQ(order[i], i);
  for (const auto id : threads)
    ASSERT_EQ(id, std::this_thread::get_id());
}

TEST(WindowMainLoop, TimerSetFromAnotherThreadTicksOnTheWindowThreadUntilKilled) {
  WindowMainLoop loop;
  int owner = 0;
  std::atomic<int> ticks = 0;
  std::thread::id tickThread;
  std::thread([&] {
    ASSERT_TRUE(loop.setTimer(&owner, 20ms, [&] {
      tickThread = std::this_thread::get_id();
      ++ticks;
    }));
  }).join();
  ASSERT_TRUE(pumpUntil([&] { return ticks >= 3; }));
  EXPECT_EQ(tickThread, std::this_thread::get_id());
  loop.killTimer(&owner);
  const int atKill = ticks;
  pumpFor(150ms);
  EXPECT_EQ(ticks, atKill);
  loop.killTimer(&owner); // killing a stopped timer does nothing
}

TEST(WindowMainLoop, ATickKillingItsOwnTimerIsItsLast) {
  WindowMainLoop loop;
  int owner = 0;
  int ticks = 0;
  loop.setTimer(&owner, 10ms, [&] {
    ++ticks;
    loop.killTimer(&owner);
  });
  pumpFor(200ms);
  EXPECT_EQ(ticks, 1);
}

TEST(WindowMainLoop, ErrorsOfTasksAndTicksGoToTheHandlerAndTheLoopGoesOn) {
  WindowMainLoop loop;
  std::vector<std::string> errors;
  loop.setErrorHandler([&](const std::string& message) { errors.push_back(message); });
  bool after = false;
  loop.post([] { throw std::runtime_error("task failed"); });
  loop.post([&] { after = true; });
  int owner = 0;
  loop.setTimer(&owner, 10ms, [&] {
    loop.killTimer(&owner);
    throw std::runtime_error("tick failed");
  });
  std::thread([&] { loop.reportError("from a worker"); }).join();
  ASSERT_TRUE(pumpUntil([&] { return errors.size() == 3; }));
  EXPECT_TRUE(after);
  EXPECT_EQ(errors[0], "task failed");
  EXPECT_EQ(errors[1], "from a worker");
  EXPECT_EQ(errors[2], "tick failed");
}

TEST(WindowMainLoop, TasksAndTicksRunWhileAMessageBoxIsOpen) {
  WindowMainLoop loop;
  test::MessageBoxAnswerer answerer(200ms);
  int owner = 0;
  int ticksDuringBox = 0;
  bool taskDuringBox = false;
  bool boxOpen = false;
  loop.post([&] {
    boxOpen = true;
    ::MessageBoxW(nullptr, L"open", L"Ferrulin", MB_OK);
    boxOpen = false;
  });
  loop.post([&] { taskDuringBox = boxOpen; });
  loop.setTimer(&owner, 10ms, [&] { ticksDuringBox += boxOpen ? 1 : 0; });
  ASSERT_TRUE(pumpUntil([&] { return !answerer.boxes().empty() && !boxOpen; }));
  EXPECT_TRUE(taskDuringBox);
  EXPECT_GT(ticksDuringBox, 0);
  loop.killTimer(&owner);
}

TEST(WindowMainLoop, QuitFromAnotherThreadEndsRunWithItsExitCode) {
  WindowMainLoop loop;
  loop.post([&] { std::thread([&] { loop.quit(3); }).detach(); });
  EXPECT_EQ(loop.run(), 3);
}

} // namespace
} // namespace velmora::platform
