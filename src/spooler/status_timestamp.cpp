#include "spooler/status_timestamp.h"

#include "platform/local_time.h"

namespace velmora::spooler {

std::string statusTimestamp(std::chrono::system_clock::time_point when,
                            const TimeFormatter& shortDate, const TimeFormatter& longTime) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  const std::tm local = platform::localTime(seconds);
  const auto subsecond = when - std::chrono::system_clock::from_time_t(seconds);
  const bool midnight =
      local.tm_hour == 0 && local.tm_min == 0 && local.tm_sec == 0 &&
      std::chrono::duration_cast<std::chrono::milliseconds>(subsecond).count() == 0;
  return midnight ? shortDate(local) : shortDate(local) + " " + longTime(local);
}

} // namespace velmora::spooler
