// QtMainLoop: the program's window thread (platform/main_loop.h) on Qt's
// event loop, for the Qt front ends.
//
// post() queues the task onto an object living in the GUI thread. Timers are
// QTimer objects owned by the loop and living in the GUI thread; because a
// QTimer may only be touched there, setTimer()/killTimer() record the wanted
// state of the owner's timer under a mutex (a generation number per call) and
// post a task that makes the QTimer match it. A tick first checks, under the
// same mutex, that its timer is still the wanted one of that generation, so
// that after killTimer() returns no tick of the owner starts, and a tick that
// was waiting when setTimer() restarted the timer is dropped. QTimer never
// queues more than one timeout, so ticks do not pile up.
//
// Construct, destroy and run (QApplication::exec) on the GUI thread, after
// the QApplication exists; the loop outlives everything that posts to it or
// holds a timer on it. post(), setTimer(), killTimer(), reportError() and
// setErrorHandler() may be called from any thread.
#pragma once

#include "platform/main_loop.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

class QObject;
class QTimer;

namespace velmora::spooler::app {

class QtMainLoop final : public platform::MainLoop {
public:
  QtMainLoop();
  ~QtMainLoop() override;

  void post(Task task) override;
  bool setTimer(const void* owner, std::chrono::milliseconds period, Task tick) override;
  void killTimer(const void* owner) override;

private:
  // What the owner of a timer last asked for.
  struct WantedTimer {
    std::uint64_t generation;
    std::chrono::milliseconds period;
    std::shared_ptr<const Task> tick; // shared so a tick can kill its own timer
  };

  // GUI thread: makes the QTimer of `owner` match the wanted state.
  void applyTimer(const void* owner);
  // GUI thread: runs the owner's tick if `generation` is still the wanted one.
  void runTick(const void* owner, std::uint64_t generation);

  std::unique_ptr<QObject> context_; // lives in the GUI thread; queued calls target it

  std::mutex mutex_; // guards wanted_ and nextGeneration_
  std::map<const void*, WantedTimer> wanted_;
  std::uint64_t nextGeneration_ = 1;

  // GUI thread only: the running QTimer of each owner and the generation it runs.
  struct RunningTimer {
    std::unique_ptr<QTimer> timer;
    std::uint64_t generation = 0;
  };
  std::map<const void*, RunningTimer> running_;
};

} // namespace velmora::spooler::app
