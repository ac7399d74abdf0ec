#include "platform/termination_signal.h"

#include <atomic>
#include <mutex>
#include <windows.h>

namespace velmora::platform {
namespace {

std::mutex handlerMutex; // guards currentHandler
std::function<void()>* currentHandler = nullptr;

BOOL WINAPI onConsoleEvent(DWORD) {
  std::lock_guard lock(handlerMutex);
  if (currentHandler)
    (*currentHandler)();
  return TRUE;
}

} // namespace

struct TerminationSignal::State {
  std::function<void()> handler;
};

TerminationSignal::TerminationSignal(std::function<void()> handler)
    : state_(std::make_unique<State>()) {
  state_->handler = std::move(handler);
  std::lock_guard lock(handlerMutex);
  currentHandler = &state_->handler;
  SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

TerminationSignal::~TerminationSignal() {
  SetConsoleCtrlHandler(onConsoleEvent, FALSE);
  std::lock_guard lock(handlerMutex);
  currentHandler = nullptr;
}

} // namespace velmora::platform
