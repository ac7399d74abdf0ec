// Tells a console program that it is asked to end: Ctrl+C or SIGTERM (and
// SIGHUP) on POSIX, Ctrl+C, Ctrl+Break or the console window closing on
// Windows. The handler runs once, on a thread of its own, and must only hand
// the news on (e.g. MainLoop's quit(), which any thread may call).
//
// Create it first in main(), before any other thread starts: on POSIX the
// signals are blocked in the creating thread, so that every thread started
// later inherits the mask and only the watching thread receives them.
#pragma once

#include <functional>
#include <memory>

namespace velmora::platform {

class TerminationSignal final {
public:
  explicit TerminationSignal(std::function<void()> handler);
  ~TerminationSignal();
  TerminationSignal(const TerminationSignal&) = delete;
  TerminationSignal& operator=(const TerminationSignal&) = delete;

private:
  struct State;
  std::unique_ptr<State> state_;
};

} // namespace velmora::platform
