// The main loop on the Windows message loop: the promises of every main loop
// (main_loop_contract.h), tasks and ticks going on while a modal message box
// runs its own loop, and run() until quit() with its exit code.
#include "platform/window_main_loop.h"

#include "main_loop_contract.h"
#include "window_test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace velmora::test {
// Beyond the thread's message queue limit of 10,000 tasks wait before it runs.
using WindowLoopDriver = PumpedLoopDriver<platform::WindowMainLoop, 12000, &pumpUntil, &pumpFor>;
INSTANTIATE_TYPED_TEST_SUITE_P(WindowMainLoop, MainLoopContract, WindowLoopDriver);
} // namespace velmora::test

namespace velmora::platform {
namespace {

using namespace std::chrono_literals;
using test::pumpUntil;

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
