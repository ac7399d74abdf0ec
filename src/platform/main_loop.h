// The program's window thread as an object: the one thread that runs every
// handler of the program's own logic, one at a time.
//
// - post(): any thread hands a task to the loop thread; tasks run in the
//   order they were posted.
// - setTimer()/killTimer(): repeating timers, one per owner (any address the
//   caller owns, e.g. the timer object itself), switched on and off from any
//   thread. Calls take effect at once and in the order they are made: after
//   killTimer() returns, no tick of that owner starts any more; setTimer()
//   on a running timer starts its period anew. Ticks run on the loop thread.
//   A tick that is due while the previous one is still waiting is dropped, so
//   ticks never pile up; a tick may come late when the loop thread is busy.
// - Every exception escaping a task or a tick goes to the error handler (on
//   the loop thread, with the exception's message and, for a CausedError,
//   its cause), and the loop goes on. reportError() hands a message and its
//   cause to the same handler from any thread without waiting for it to be
//   shown. The base class keeps the handler, so every loop treats errors
//   alike: a handler of the message alone never sees the cause; without a
//   handler, the message and then the cause go to stderr.
// - reportErrorBox() asks for a message box of its own with a caption (the
//   change watcher's boxes titled "Error", unlike the program's default error
//   box); the error-box handler shows it on the loop thread, or, without one,
//   the error handler gets the message and its cause.
//
// The loop is owned by the program's entry (or a test) and outlives every
// object that posts to it or holds a timer on it. The window front ends put
// this interface on their toolkit's event loop; PlainMainLoop is the loop of
// the console program and the tests. A toolkit that can only queue calls to
// its own thread keeps the wanted timer state under a mutex and applies it
// from a posted task, so that the order of calls above still holds.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace velmora::platform {

class MainLoop {
public:
  using Task = std::function<void()>;
  using ErrorHandler = std::function<void(const std::string& message)>;
  using ErrorBoxHandler =
      std::function<void(const std::string& caption, const std::string& message)>;
  // `cause` is what the system said beneath the message, or empty
  // (platform/caused_error.h).
  using CauseErrorHandler =
      std::function<void(const std::string& message, const std::string& cause)>;

  virtual ~MainLoop() = default;

  // Any thread: runs `task` on the loop thread.
  virtual void post(Task task) = 0;

  // Any thread: starts the timer of `owner` with `period` (replacing the
  // owner's running timer and its waiting tick, if any). `tick` runs on the
  // loop thread. False when the loop refuses another timer; nothing runs then.
  virtual bool setTimer(const void* owner, std::chrono::milliseconds period, Task tick) = 0;

  // Any thread: stops the timer of `owner` and drops its waiting tick.
  // Stopping a timer that does not run does nothing.
  virtual void killTimer(const void* owner) = 0;

  // Any thread: shows `message` (and `cause` beside it) through the error
  // handler on the loop thread.
  void reportError(const std::string& message, const std::string& cause = {});

  // Any thread: the handler for errors of tasks and ticks and for
  // reportError(). Without one, messages go to stderr.
  void setErrorHandler(ErrorHandler handler);
  void setErrorHandler(CauseErrorHandler handler);

  // Any thread: shows `message` in an error box titled `caption`, through the
  // error-box handler on the loop thread (`cause` reaches only the error
  // handler, when no error-box handler is set).
  void reportErrorBox(const std::string& caption, const std::string& message,
                      const std::string& cause = {});
  // Loop thread, or before the loop runs.
  void setErrorBoxHandler(ErrorBoxHandler handler);

protected:
  MainLoop() = default;
  MainLoop(const MainLoop&) = delete;
  MainLoop& operator=(const MainLoop&) = delete;

  // Loop thread: runs a task or tick; the message (and cause) of an
  // exception escaping it goes to deliverError().
  void runGuarded(const Task& task);
  // Loop thread: hands a message and its cause to the error handler.
  void deliverError(const std::string& message, const std::string& cause = {});

private:
  std::mutex errorMutex_;
  CauseErrorHandler errorHandler_; // guarded by errorMutex_
  std::mutex errorBoxMutex_;
  ErrorBoxHandler errorBoxHandler_; // guarded by errorBoxMutex_
};

// The loop on a plain condition variable. The thread that calls run(),
// runFor() or runUntil() is the loop thread while it is inside; only one
// thread may run the loop at a time. It sleeps until a task arrives or the
// next timer is due and does not wake otherwise.
class PlainMainLoop final : public MainLoop {
public:
  // `maxTimers`: how many timers may run at once before setTimer() refuses
  // (Windows allows 10,000 per process).
  explicit PlainMainLoop(std::size_t maxTimers = 10000);
  ~PlainMainLoop() override;

  void post(Task task) override;
  bool setTimer(const void* owner, std::chrono::milliseconds period, Task tick) override;
  void killTimer(const void* owner) override;

  // Runs tasks and ticks until quit() is called (from a task or any thread).
  void run();
  // Any thread: makes run() return after the task or tick now running.
  void quit();

  // Runs tasks and ticks for `duration`.
  void runFor(std::chrono::milliseconds duration);
  // Runs tasks and ticks until `done` (checked on the loop thread before
  // waiting and after each task or tick) holds or `timeout` has passed;
  // returns whether `done` holds.
  bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

  // Whether the calling thread is the one running the loop right now.
  bool isLoopThread() const;

private:
  using Clock = std::chrono::steady_clock;

  struct Timer {
    std::chrono::milliseconds period;
    Clock::time_point due;
    std::shared_ptr<const Task> tick; // shared so a tick can kill its own timer
  };

  // Runs what is ready, or waits for it until `deadline`; false when the
  // deadline passed or quit() was called without anything having run.
  bool runOnce(Clock::time_point deadline);

  const std::size_t maxTimers_;
  mutable std::mutex mutex_;     // guards everything below
  std::condition_variable wake_; // a task, a timer change or quit()
  std::deque<Task> tasks_;
  std::map<const void*, Timer> timers_;
  bool quit_ = false;
  std::thread::id loopThread_;
};

} // namespace velmora::platform
