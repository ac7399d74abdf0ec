#include "process_figures.h"

#include <windows.h>
// After windows.h.
#include <psapi.h>

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
  return count;
}

std::string windowObjects() {
  const HANDLE process = ::GetCurrentProcess();
  return ", " + std::to_string(::GetGuiResources(process, GR_GDIOBJECTS)) + " GDI objects, " +
         std::to_string(::GetGuiResources(process, GR_USEROBJECTS)) + " USER objects";
}

} // namespace velmora::bench
