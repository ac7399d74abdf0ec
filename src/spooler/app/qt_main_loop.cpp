#include "spooler/app/qt_main_loop.h"

#include <QMetaObject>
#include <QObject>
#include <QTimer>

#include <exception>
#include <optional>
#include <utility>

namespace velmora::spooler::app {

QtMainLoop::QtMainLoop() : context_(std::make_unique<QObject>()) {}

// The QTimers go first, then the context object, which drops every queued call
// still waiting for it.
QtMainLoop::~QtMainLoop() {
  running_.clear();
  context_.reset();
}

void QtMainLoop::post(Task task) {
  QMetaObject::invokeMethod(
      context_.get(), [this, task = std::move(task)] { runGuarded(task); }, Qt::QueuedConnection);
}

bool QtMainLoop::setTimer(const void* owner, std::chrono::milliseconds period, Task tick) {
  {
    std::lock_guard lock(mutex_);
    wanted_[owner] =
        WantedTimer{nextGeneration_++, period, std::make_shared<const Task>(std::move(tick))};
  }
  QMetaObject::invokeMethod(
      context_.get(), [this, owner] { applyTimer(owner); }, Qt::QueuedConnection);
  return true;
}

void QtMainLoop::killTimer(const void* owner) {
  {
    std::lock_guard lock(mutex_);
    if (wanted_.erase(owner) == 0)
      return;
  }
  QMetaObject::invokeMethod(
      context_.get(), [this, owner] { applyTimer(owner); }, Qt::QueuedConnection);
}

void QtMainLoop::applyTimer(const void* owner) {
  std::optional<std::pair<std::uint64_t, std::chrono::milliseconds>> wanted;
  {
    std::lock_guard lock(mutex_);
    if (const auto it = wanted_.find(owner); it != wanted_.end())
      wanted.emplace(it->second.generation, it->second.period);
  }
  const auto running = running_.find(owner);
  if (!wanted) {
    if (running != running_.end()) {
      // A tick may be inside this timer's timeout right now (a message box of
      // the tick runs a nested event loop): stop it now, delete it later.
      running->second.timer->stop();
      running->second.timer.release()->deleteLater();
      running_.erase(running);
    }
    return;
  }
  if (running != running_.end() && running->second.generation == wanted->first)
    return; // a later call of the same generation was applied already
  RunningTimer& entry = running_[owner];
  if (!entry.timer) {
    entry.timer = std::make_unique<QTimer>();
    entry.timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(entry.timer.get(), &QTimer::timeout, context_.get(), [this, owner] {
      if (const auto it = running_.find(owner); it != running_.end())
        runTick(owner, it->second.generation);
    });
  }
  entry.generation = wanted->first;
  entry.timer->start(static_cast<int>(wanted->second.count())); // the period starts anew
}

void QtMainLoop::runTick(const void* owner, std::uint64_t generation) {
  std::shared_ptr<const Task> tick;
  {
    std::lock_guard lock(mutex_);
    const auto it = wanted_.find(owner);
    if (it == wanted_.end() || it->second.generation != generation)
      return; // killed or restarted since this timer was started
    tick = it->second.tick;
  }
  runGuarded(*tick);
}

} // namespace velmora::spooler::app
