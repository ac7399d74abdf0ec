// TOldTimer on the main loop: the loop's timer of this object is the system
// timer; every tick runs FireTimer on the loop thread, and an error raised by
// OnTimer escapes to the loop's error handler, after which the timer goes on.
#include "watch/old_timer.h"

#include <chrono>
#include <utility>

namespace velmora::watch {

TOldTimer::TOldTimer(platform::MainLoop& loop) : loop_(loop) {}

TOldTimer::~TOldTimer() {
  FEnabled = false;
  loop_.killTimer(this);
}

void TOldTimer::SetEnabled(bool value) {
  if (FEnabled == value)
    return;
  FEnabled = value;
  RestartTimer();
}

void TOldTimer::SetInterval(std::uint32_t milliseconds) {
  if (FInterval == milliseconds)
    return;
  FInterval = milliseconds;
  RestartTimer();
}

void TOldTimer::SetOnTimer(TNotifyEvent handler) {
  FOnTimer = std::move(handler);
  RestartTimer();
}

void TOldTimer::RestartTimer() {
  loop_.killTimer(this);
  if (FInterval != 0 && FEnabled && FOnTimer) {
    if (!loop_.setTimer(this, std::chrono::milliseconds(FInterval.load()), [this] { FireTimer(); }))
      throw EOutOfResources("No more Timers");
  }
}

void TOldTimer::FireTimer() {
  if (FOnTimer)
    FOnTimer(*this);
}

} // namespace velmora::watch
