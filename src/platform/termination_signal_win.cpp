// The termination signal on Windows: a console control handler
// (SetConsoleCtrlHandler), which the system calls on a thread of its own for
// Ctrl+C, Ctrl+Break, the console window closing, log-off and shut-down.
//
// For the last three the system ends the process as soon as the handler
// returns, so the handler waits (up to 4 s; the system allows 5) until the
// program has wound down and destroyed its TerminationSignal, so that its
// source folders are released in order rather than dropped.
#include "platform/termination_signal.h"

#include "platform/win32_support.h"

#include <mutex>

namespace velmora::platform {
namespace {

std::mutex handlerMutex; // guards the three below
std::function<void()>* currentHandler = nullptr;
bool handled = false;      // the handler runs once
HANDLE finished = nullptr; // manual-reset event, set when the signal object goes; never closed

BOOL WINAPI onConsoleEvent(DWORD event) {
  HANDLE waitFor = nullptr;
  {
    std::lock_guard lock(handlerMutex);
    if (currentHandler && !handled) {
      handled = true;
      (*currentHandler)();
    }
    waitFor = finished;
  }
  if (waitFor &&
      (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT))
    ::WaitForSingleObject(waitFor, 4000);
  return TRUE;
}

} // namespace

struct TerminationSignal::State {
  std::function<void()> handler;
};

TerminationSignal::TerminationSignal(std::function<void()> handler)
    : state_(std::make_unique<State>()) {
  state_->handler = std::move(handler);
  {
    std::lock_guard lock(handlerMutex);
    if (!finished)
      finished = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    else
      ::ResetEvent(finished);
    currentHandler = &state_->handler;
    handled = false;
  }
  ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

TerminationSignal::~TerminationSignal() {
  ::SetConsoleCtrlHandler(onConsoleEvent, FALSE);
  std::lock_guard lock(handlerMutex);
  currentHandler = nullptr;
  if (finished)
    ::SetEvent(finished);
}

} // namespace velmora::platform
