// What the soak benchmarks read of their own process: its resident memory
// and how many descriptors (Linux: the entries of /proc/self/fd) or handles
// (Windows: GetProcessHandleCount) it holds. Any thread.
#pragma once

#include <cstddef>
#include <string>

namespace velmora::bench {

// Resident memory in KiB.
std::size_t residentKib();
// Open descriptors or handles. Wine counts no handles (0), nor GDI and USER
// objects: under Wine, count the descriptors of its process from outside
// (ls /proc/<pid>/fd). (A folder listed through Wine is opened by the Wine
// server, so /proc/self seen from inside is the server's.)
std::size_t openHandles();
// The window system's objects the process holds, as text for the figures'
// line: on Windows its GDI and USER objects (", 40 GDI objects, 20 USER
// objects"); elsewhere nothing.
std::string windowObjects();

} // namespace velmora::bench
