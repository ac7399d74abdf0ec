// The plain main loop: a task queue and a timer table under one mutex, and a
// condition variable that the loop thread sleeps on until the next task or
// the next due tick.
#include "platform/main_loop.h"

#include "platform/caused_error.h"

#include <cstdio>
#include <exception>
#include <utility>

namespace velmora::platform {

PlainMainLoop::PlainMainLoop(std::size_t maxTimers) : maxTimers_(maxTimers) {}

PlainMainLoop::~PlainMainLoop() = default;

void PlainMainLoop::post(Task task) {
  {
    std::scoped_lock lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  wake_.notify_all();
}

bool PlainMainLoop::setTimer(const void* owner, std::chrono::milliseconds period, Task tick) {
  {
    std::scoped_lock lock(mutex_);
    auto found = timers_.find(owner);
    if (found == timers_.end() && timers_.size() >= maxTimers_)
      return false;
    if (period < std::chrono::milliseconds(1))
      period = std::chrono::milliseconds(1);
    Timer timer{period, Clock::now() + period, std::make_shared<const Task>(std::move(tick))};
    if (found == timers_.end())
      timers_.emplace(owner, std::move(timer));
    else
      found->second = std::move(timer);
  }
  wake_.notify_all();
  return true;
}

void PlainMainLoop::killTimer(const void* owner) {
  std::scoped_lock lock(mutex_);
  timers_.erase(owner);
  // No wake-up needed: a loop waiting for this timer wakes, finds nothing
  // due and waits again.
}

void PlainMainLoop::quit() {
  {
    std::scoped_lock lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
}

bool PlainMainLoop::isLoopThread() const {
  std::scoped_lock lock(mutex_);
  return loopThread_ == std::this_thread::get_id();
}

void PlainMainLoop::run() {
  runUntil([] { return false; }, std::chrono::milliseconds::max());
}

void PlainMainLoop::runFor(std::chrono::milliseconds duration) {
  runUntil([] { return false; }, duration);
}

bool PlainMainLoop::runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto now = Clock::now();
  const auto deadline = timeout >= std::chrono::duration_cast<std::chrono::milliseconds>(
                                       Clock::time_point::max() - now)
                            ? Clock::time_point::max()
                            : now + timeout;
  {
    std::scoped_lock lock(mutex_);
    loopThread_ = std::this_thread::get_id();
  }
  bool finished = done();
  while (!finished && runOnce(deadline))
    finished = done();
  std::scoped_lock lock(mutex_);
  loopThread_ = std::thread::id();
  quit_ = false;
  return finished;
}

bool PlainMainLoop::runOnce(Clock::time_point deadline) {
  std::unique_lock lock(mutex_);
  for (;;) {
    if (quit_)
      return false;
    if (!tasks_.empty()) {
      Task task = std::move(tasks_.front());
      tasks_.pop_front();
      lock.unlock();
      runGuarded(task);
      return true;
    }
    const auto now = Clock::now();
    auto next = timers_.end();
    for (auto it = timers_.begin(); it != timers_.end(); ++it)
      if (next == timers_.end() || it->second.due < next->second.due)
        next = it;
    if (next != timers_.end() && next->second.due <= now) {
      Timer& timer = next->second;
      // One tick for however many periods have passed: the next is due one
      // period on, or one period from now when the loop fell behind.
      timer.due += timer.period;
      if (timer.due <= now)
        timer.due = now + timer.period;
      std::shared_ptr<const Task> tick = timer.tick;
      lock.unlock();
      runGuarded(*tick);
      return true;
    }
    if (now >= deadline)
      return false;
    const auto wakeAt =
        next != timers_.end() && next->second.due < deadline ? next->second.due : deadline;
    if (wakeAt == Clock::time_point::max())
      wake_.wait(lock);
    else
      wake_.wait_until(lock, wakeAt);
  }
}

void MainLoop::reportErrorBox(const std::string& caption, const std::string& message,
                              const std::string& cause) {
  post([this, caption, message, cause] {
    ErrorBoxHandler handler;
    {
      std::scoped_lock lock(errorBoxMutex_);
      handler = errorBoxHandler_;
    }
    if (handler)
      runGuarded([&] { handler(caption, message); });
    else
      deliverError(message, cause);
  });
}

void MainLoop::setErrorBoxHandler(ErrorBoxHandler handler) {
  std::scoped_lock lock(errorBoxMutex_);
  errorBoxHandler_ = std::move(handler);
}

void MainLoop::reportError(const std::string& message, const std::string& cause) {
  post([this, message, cause] { deliverError(message, cause); });
}

void MainLoop::setErrorHandler(ErrorHandler handler) {
  if (!handler) {
    setErrorHandler(CauseErrorHandler());
    return;
  }
  setErrorHandler(
      CauseErrorHandler([handler = std::move(handler)](const std::string& message,
                                                       const std::string&) { handler(message); }));
}

void MainLoop::setErrorHandler(CauseErrorHandler handler) {
  std::scoped_lock lock(errorMutex_);
  errorHandler_ = std::move(handler);
}

void MainLoop::runGuarded(const Task& task) {
  try {
    task();
  } catch (const std::exception& error) {
    deliverError(error.what(), causeOf(error));
  } catch (...) {
    deliverError("Unknown error");
  }
}

void MainLoop::deliverError(const std::string& message, const std::string& cause) {
  CauseErrorHandler handler;
  {
    std::scoped_lock lock(errorMutex_);
    handler = errorHandler_;
  }
  try {
    if (handler) {
      handler(message, cause);
      return;
    }
  } catch (...) {
    // a handler that fails: the message is not lost, it goes to stderr
  }
  std::fprintf(stderr, "%s\n", message.c_str());
  if (!cause.empty())
    std::fprintf(stderr, "%s\n", cause.c_str());
}

} // namespace velmora::platform
