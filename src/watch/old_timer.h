// TOldTimer: a repeating timer whose OnTimer always runs on the main loop's
// thread (the window thread), however the timer was switched on. The change
// watcher owns one as its delivery timer: its worker switches it on and the
// tick runs the report on the window thread.
//
// The timer runs while Interval is not 0, Enabled is true and OnTimer is
// assigned. Every effective change of a property starts the period anew
// (RestartTimer); setting a property to the value it has does nothing, except
// OnTimer, whose every assignment restarts.
//
// Threads: created, destroyed and given OnTimer and Interval on the loop
// thread, before any other thread may use it. Enabled may also be set from
// another thread; the timer does not
// serialise such calls itself, its user does (the watcher holds a lock around
// switching on and off). Owned by its owner; the loop must outlive it.
#pragma once

#include "platform/main_loop.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <stdexcept>

namespace velmora::watch {

// The loop refused another timer ("No more Timers").
class EOutOfResources final : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

class TOldTimer final {
public:
  using TNotifyEvent = std::function<void(TOldTimer& sender)>;

  // Enabled true, Interval 1000, no OnTimer: no tick runs yet.
  explicit TOldTimer(platform::MainLoop& loop);
  // Switches the timer off; a tick not yet run is dropped.
  ~TOldTimer();
  TOldTimer(const TOldTimer&) = delete;
  TOldTimer& operator=(const TOldTimer&) = delete;

  bool Enabled() const { return FEnabled; }
  // Throws EOutOfResources "No more Timers" when the loop refuses the timer;
  // Enabled keeps its new value then, although no timer runs.
  void SetEnabled(bool value);

  std::uint32_t Interval() const { return FInterval; }
  void SetInterval(std::uint32_t milliseconds); // may throw as SetEnabled

  const TNotifyEvent& OnTimer() const { return FOnTimer; }
  void SetOnTimer(TNotifyEvent handler); // may throw as SetEnabled

private:
  void RestartTimer();
  void FireTimer();

  platform::MainLoop& loop_;
  std::atomic<std::uint32_t> FInterval{1000};
  std::atomic<bool> FEnabled{true};
  TNotifyEvent FOnTimer; // loop thread only
};

} // namespace velmora::watch
