// The local date and time of a moment, as the C library's localtime gives
// it, but safe on any thread: std::localtime shares one result among all
// threads, and the status log's time stamps (loop thread), the table files'
// dates and the daily log's file names (the log's own thread) ask at once.
// Stateless; any thread.
#pragma once

#include <ctime>

namespace velmora::platform {

std::tm localTime(std::time_t when);

} // namespace velmora::platform
