// A main loop that a test steps by hand, with a clock of its own: nothing
// runs until the test says so, and time moves only when the test moves it.
// Other threads (a watcher's worker) may post tasks and arm timers at any
// moment; the test waits for that with waitForWork() and runs it with
// runReady() or advance(). The thread that steps the loop is its loop thread.
//
// Errors of tasks and ticks and reportError() go to the error handler, as in
// every loop.
#pragma once

#include "platform/main_loop.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace velmora::test {

class ManualMainLoop final : public platform::MainLoop {
public:
  ManualMainLoop() = default;

  void post(Task task) override;
  bool setTimer(const void* owner, std::chrono::milliseconds period, Task tick) override;
  void killTimer(const void* owner) override;

  // Runs the queued tasks and the ticks due by the loop's clock, including
  // what they post in turn, until nothing is ready; returns how many ran.
  std::size_t runReady();
  // Moves the loop's clock on by `step` (ticks come once per due timer,
  // however many periods passed), then runReady().
  std::size_t advance(std::chrono::milliseconds step);
  // Moves the clock to the next due timer and runs what is ready then;
  // 0 when no timer runs.
  std::size_t runNextTimer();
  // Waits, in real time, up to `timeout` until a task is queued or a timer
  // runs; whether one is.
  bool waitForWork(std::chrono::milliseconds timeout);
  // Steps the loop (waits for work, runs the tasks, then the next timer)
  // until `done` holds or `timeout` of real time passed; whether it holds.
  bool stepUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

  // The loop's clock: the time the test has moved it on since construction.
  std::chrono::milliseconds now() const;
  std::size_t timerCount() const;

private:
  struct Timer {
    std::chrono::milliseconds period;
    std::chrono::milliseconds due;
    std::shared_ptr<const Task> tick;
  };

  // Takes the next ready task or due tick; nothing when none is ready.
  std::shared_ptr<const Task> takeReady();

  mutable std::mutex mutex_; // guards everything below
  std::condition_variable wake_;
  std::deque<std::shared_ptr<const Task>> tasks_;
  std::map<const void*, Timer> timers_;
  std::chrono::milliseconds now_{0};
};

} // namespace velmora::test
