// WindowMainLoop: the program's window thread (main_loop.h) on the Windows
// message loop, for the Win32 front ends. Windows only.
//
// The loop owns a hidden message-only window on the thread that constructs
// it. post() queues the task and posts one message to that window; each
// message runs one task and posts the next one's message, so tasks run in
// order and also while a modal message box runs its own loop. Timers are
// window timers (SetTimer) of the hidden window, one identifier per owner;
// because only the window's thread may set them, setTimer()/killTimer()
// record the owner's wanted timer under a mutex (with a generation number)
// and post a message that makes the window timer match it. A tick first
// checks that its generation is still the wanted one, so after killTimer()
// returns no tick of that owner starts, and a tick waiting when setTimer()
// restarted the timer is dropped. The system never queues a second WM_TIMER
// while one waits, so ticks do not pile up.
//
// Construct, run and destroy on the window thread; the loop outlives every
// object that posts to it or holds a timer on it. post(), setTimer(),
// killTimer(), reportError(), setErrorHandler() and quit() may be called
// from any thread.
#pragma once

#include "platform/main_loop.h"

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>

namespace velmora::platform {

class WindowMainLoop final : public MainLoop {
public:
  // `maxTimers`: how many timers may run at once before setTimer() refuses.
  explicit WindowMainLoop(std::size_t maxTimers = 10000);
  ~WindowMainLoop() override;

  void post(Task task) override;
  bool setTimer(const void* owner, std::chrono::milliseconds period, Task tick) override;
  void killTimer(const void* owner) override;

  // Runs the thread's message loop (every window of the thread, the hidden
  // one included) until quit(); returns quit()'s exit code.
  int run();
  // Any thread: makes run() return `exitCode` once the message now handled is
  // done.
  void quit(int exitCode = 0);

  // Window thread: handles the messages that are waiting, without blocking.
  // For tests that drive the windows themselves.
  void processPendingMessages();

  struct Window; // the hidden window and its procedure (window_main_loop_win.cpp)

private:
  struct WantedTimer {
    std::uint64_t generation;
    std::uintptr_t id; // the window timer's identifier, stable per owner
    std::chrono::milliseconds period;
    std::shared_ptr<const Task> tick; // shared so a tick can kill its own timer
  };

  void runNextTask();
  void applyTimers();
  void runTick(std::uintptr_t id);
  void postToWindow(unsigned message);

  const std::size_t maxTimers_;
  std::unique_ptr<Window> window_;

  std::mutex mutex_; // guards everything up to the marked line
  std::deque<Task> tasks_;
  std::map<const void*, WantedTimer> wanted_;
  std::uint64_t nextGeneration_ = 1;
  std::uintptr_t nextTimerId_ = 1;
  bool timersChanged_ = false; // a message to apply them is on its way
  // -- window thread only below
  std::map<std::uintptr_t, std::pair<const void*, std::uint64_t>>
      running_; // id -> owner, generation
};

} // namespace velmora::platform
