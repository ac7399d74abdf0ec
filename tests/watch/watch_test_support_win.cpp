// Threads counted in a tool-help snapshot; the access time set with
// SetFileTime.
#include "watch_test_support.h"

#include <windows.h>

#include <tlhelp32.h>

namespace velmora::test {

std::size_t threadCount() {
  const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE)
    return 0;
  const DWORD self = ::GetCurrentProcessId();
  std::size_t count = 0;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry))
    if (entry.th32OwnerProcessID == self)
      ++count;
  ::CloseHandle(snapshot);
  return count;
}

bool setLastAccessTime(const std::string& path, long long secondsSince1970) {
  const HANDLE file = ::CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  // FILETIME counts 100-nanosecond steps from 1601.
  const unsigned long long ticks =
      (static_cast<unsigned long long>(secondsSince1970) + 11644473600ULL) * 10000000ULL;
  FILETIME access;
  access.dwLowDateTime = static_cast<DWORD>(ticks);
  access.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  const BOOL done = ::SetFileTime(file, nullptr, &access, nullptr);
  ::CloseHandle(file);
  return done != FALSE;
}

} // namespace velmora::test
