// Threads counted in /proc/self/task; the access time set with utimensat.
#include "watch_test_support.h"

#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>

namespace velmora::test {

std::size_t threadCount() {
  std::size_t count = 0;
  std::error_code error;
  for (std::filesystem::directory_iterator it("/proc/self/task", error), end; !error && it != end;
       it.increment(error))
    ++count;
  return count;
}

bool setLastAccessTime(const std::string& path, long long secondsSince1970) {
  timespec times[2] = {};
  times[0].tv_sec = static_cast<time_t>(secondsSince1970);
  times[1].tv_nsec = UTIME_OMIT;
  return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

} // namespace velmora::test
