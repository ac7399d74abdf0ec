// The time stamp of a status log line: the local date and time, the date in
// the user's short date format followed by the time in the long time format,
// the time left out when the moment is exactly midnight. The front ends give
// the two formats (Qt's locale, or the C library's for the console).
#pragma once

#include <chrono>
#include <ctime>
#include <functional>
#include <string>

namespace velmora::spooler {

using TimeFormatter = std::function<std::string(const std::tm& local)>;

std::string statusTimestamp(std::chrono::system_clock::time_point when,
                            const TimeFormatter& shortDate, const TimeFormatter& longTime);

} // namespace velmora::spooler
