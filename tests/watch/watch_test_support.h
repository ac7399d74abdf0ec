// What the watcher tests look at beside the watcher: how many threads the
// test process runs (one worker per started watcher), and a file's
// last-access time set alone. One implementation per platform.
// Any thread may call them.
#pragma once

#include <cstddef>
#include <string>

namespace velmora::test {

// The number of threads of this process right now.
std::size_t threadCount();

// Sets the last-access time of `path` to `secondsSince1970`, leaving its
// other times as they are; false when that fails.
bool setLastAccessTime(const std::string& path, long long secondsSince1970);

} // namespace velmora::test
