#include "spooler/status_timestamp.h"

#include <mutex>

namespace velmora::spooler {

std::string statusTimestamp(std::chrono::system_clock::time_point when,
                            const TimeFormatter& shortDate, const TimeFormatter& longTime) {
  static std::mutex localtimeMutex; // std::localtime shares one result buffer
  const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  std::tm local{};
  {
    std::lock_guard lock(localtimeMutex);
    local = *std::localtime(&seconds);
  }
  const auto subsecond = when - std::chrono::system_clock::from_time_t(seconds);
  const bool midnight =
      local.tm_hour == 0 && local.tm_min == 0 && local.tm_sec == 0 &&
      std::chrono::duration_cast<std::chrono::milliseconds>(subsecond).count() == 0;
  return midnight ? shortDate(local) : shortDate(local) + " " + longTime(local);
}

} // namespace velmora::spooler
