// Helpers shared by the Win32 back ends of the platform layer, and only by
// them (every *_win.cpp; nothing above src/platform includes this header):
// UTF-8 <-> UTF-16 for the wide API, the host's path as a wide native path,
// the paths that are never handed to the system, file times, the system's
// text for an error code, and a move-only owner of a HANDLE.
//
// Functions are stateless and may be called from any thread; a Win32Handle
// belongs to whoever holds it.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::platform {

// UTF-8 to UTF-16 and back, decoding as unicode.h does (an invalid byte
// becomes U+FFFD), so both platforms read the same text the same way.
std::wstring toWide(std::string_view utf8);
std::string fromWide(std::wstring_view wide);

// nativePath(path) as a wide string, ready for the W functions.
std::wstring widePath(std::string_view path);

// Why `path` ends in a name that Windows cannot open as a plain file
// (plain_file_name.h: a device's name, a character Windows does not allow, a
// trailing dot or blank), worded as the reason of a refusal ("Not a plain
// file on Windows: it is the name of a device"); nothing for a path that may
// be handed to the system. Every function of these back ends that opens,
// looks at, removes, moves or writes an entry by path asks this first and
// hands no such path to the system: opening "aux.spl" would open a device.
std::optional<std::string> notAPlainFileReason(std::string_view path);

// A file time (100-nanosecond intervals since 1601) as nanoseconds since 1970,
// the unit of the times in file_system.h and file_move.h.
std::int64_t unixNanoseconds(const FILETIME& time);

// The system's text for a GetLastError() code, without the trailing line end.
std::string win32ErrorText(DWORD error);

// Gives up every byte-range lock that byte_range_lock.h took through the open
// file `file`, and forgets them; RandomAccessFile calls it just before it
// closes the handle.
void releaseRangeLocks(HANDLE file);

// Owns a HANDLE and closes it. Both "no handle" values of Win32 (nullptr and
// INVALID_HANDLE_VALUE) count as empty.
class Win32Handle final {
public:
  Win32Handle() = default;
  explicit Win32Handle(HANDLE handle) : handle_(handle) {}
  ~Win32Handle() { reset(); }
  Win32Handle(Win32Handle&& other) noexcept : handle_(other.release()) {}
  Win32Handle& operator=(Win32Handle&& other) noexcept {
    if (this != &other)
      reset(other.release());
    return *this;
  }
  Win32Handle(const Win32Handle&) = delete;
  Win32Handle& operator=(const Win32Handle&) = delete;

  HANDLE get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  HANDLE release() {
    HANDLE handle = handle_;
    handle_ = nullptr;
    return handle;
  }
  void reset(HANDLE handle = nullptr) {
    if (*this)
      ::CloseHandle(handle_);
    handle_ = handle;
  }

private:
  HANDLE handle_ = nullptr;
};

} // namespace velmora::platform
