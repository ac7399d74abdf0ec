#include "manual_main_loop.h"

#include <utility>

namespace velmora::test {

void ManualMainLoop::post(Task task) {
  {
    std::scoped_lock lock(mutex_);
    tasks_.push_back(std::make_shared<const Task>(std::move(task)));
  }
  wake_.notify_all();
}

bool ManualMainLoop::setTimer(const void* owner, std::chrono::milliseconds period, Task tick) {
  {
    std::scoped_lock lock(mutex_);
    if (period < std::chrono::milliseconds(1))
      period = std::chrono::milliseconds(1);
    timers_[owner] = Timer{period, now_ + period, std::make_shared<const Task>(std::move(tick))};
  }
  wake_.notify_all();
  return true;
}

void ManualMainLoop::killTimer(const void* owner) {
  std::scoped_lock lock(mutex_);
  timers_.erase(owner);
}

std::shared_ptr<const platform::MainLoop::Task> ManualMainLoop::takeReady() {
  std::scoped_lock lock(mutex_);
  if (!tasks_.empty()) {
    auto task = std::move(tasks_.front());
    tasks_.pop_front();
    return task;
  }
  auto next = timers_.end();
  for (auto it = timers_.begin(); it != timers_.end(); ++it)
    if (it->second.due <= now_ && (next == timers_.end() || it->second.due < next->second.due))
      next = it;
  if (next == timers_.end())
    return nullptr;
  Timer& timer = next->second;
  timer.due += timer.period;
  if (timer.due <= now_)
    timer.due = now_ + timer.period;
  return timer.tick;
}

std::size_t ManualMainLoop::runReady() {
  std::size_t ran = 0;
  while (auto task = takeReady()) {
    runGuarded(*task);
    ++ran;
  }
  return ran;
}

std::size_t ManualMainLoop::advance(std::chrono::milliseconds step) {
  {
    std::scoped_lock lock(mutex_);
    now_ += step;
  }
  return runReady();
}

std::size_t ManualMainLoop::runNextTimer() {
  {
    std::scoped_lock lock(mutex_);
    if (timers_.empty())
      return 0;
    auto due = timers_.begin()->second.due;
    for (const auto& [owner, timer] : timers_)
      due = std::min(due, timer.due);
    now_ = std::max(now_, due);
  }
  return runReady();
}

bool ManualMainLoop::waitForWork(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return wake_.wait_for(lock, timeout, [&] { return !tasks_.empty() || !timers_.empty(); });
}

bool ManualMainLoop::stepUntil(const std::function<bool()>& done,
                               std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  runReady();
  while (!done()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left <= std::chrono::milliseconds(0) || !waitForWork(left))
      return done();
    if (runReady() == 0)
      runNextTimer();
  }
  return true;
}

std::chrono::milliseconds ManualMainLoop::now() const {
  std::scoped_lock lock(mutex_);
  return now_;
}

std::size_t ManualMainLoop::timerCount() const {
  std::scoped_lock lock(mutex_);
  return timers_.size();
}

} // namespace velmora::test
