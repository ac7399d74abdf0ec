#include "process_figures.h"

#include <windows.h>
// After windows.h.
#include <psapi.h>

#include <filesystem>
#include <system_error>

namespace velmora::bench {

std::size_t residentKib() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters))
    return 0;
  return counters.WorkingSetSize / 1024;
}

std::size_t openHandles() {
  DWORD count = 0;
  ::GetProcessHandleCount(::GetCurrentProcess(), &count);
  if (count > 0)
    return count;
  // Wine counts no handles; its process's descriptors stand for them, seen
  // through drive Z: (the Linux root).
  std::error_code error;
  std::size_t descriptors = 0;
  for (std::filesystem::directory_iterator entry(L"Z:\\proc\\self\\fd", error), end;
       !error && entry != end; entry.increment(error))
    ++descriptors;
  return descriptors;
}

std::string windowObjects() {
  const HANDLE process = ::GetCurrentProcess();
  return ", " + std::to_string(::GetGuiResources(process, GR_GDIOBJECTS)) + " GDI objects, " +
         std::to_string(::GetGuiResources(process, GR_USEROBJECTS)) + " USER objects";
}

} // namespace velmora::bench
