#include "platform/termination_signal.h"

#include <atomic>
#include <csignal>
#include <pthread.h>
#include <thread>

namespace velmora::platform {

struct TerminationSignal::State {
  std::function<void()> handler;
  std::atomic<bool> closing{false};
  sigset_t signals{};
  std::thread watcher;
};

TerminationSignal::TerminationSignal(std::function<void()> handler)
    : state_(std::make_unique<State>()) {
  state_->handler = std::move(handler);
  sigemptyset(&state_->signals);
  for (int signal : {SIGINT, SIGTERM, SIGHUP})
    sigaddset(&state_->signals, signal);
  pthread_sigmask(SIG_BLOCK, &state_->signals, nullptr);
  state_->watcher = std::thread([state = state_.get()] {
    int received = 0;
    sigwait(&state->signals, &received);
    if (!state->closing)
      state->handler();
  });
}

TerminationSignal::~TerminationSignal() {
  state_->closing = true;
  // Wakes the watching thread if no signal came; it then ends without a call.
  pthread_kill(state_->watcher.native_handle(), SIGTERM);
  state_->watcher.join();
}

} // namespace velmora::platform
