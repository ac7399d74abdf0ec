// The single-instance guard: a named object held per user logon so that a
// program runs only once in a user's session. On Windows a named mutex
// created with initial ownership (the name without a namespace prefix lives
// in the logon's namespace); on POSIX an exclusive lock on the file
// "<name>.lock" in the user's runtime directory ($XDG_RUNTIME_DIR, else a
// folder /tmp/velmora-<uid> of the user's own, mode 0700).
//
// Ownership: a SingleInstance owns the OS object; the guard is held until it
// is destroyed (or the process ends). Move-only. Any thread may acquire; the
// object is not shared between threads.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace velmora::platform {

class SingleInstance final {
public:
  // Takes the guard `name` (letters, digits, "_" and "-"). Nothing when
  // another process of this user holds it, or when it cannot be made.
  static std::optional<SingleInstance> acquire(std::string_view name);

  SingleInstance(SingleInstance&& other) noexcept;
  SingleInstance& operator=(SingleInstance&& other) noexcept;
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;
  ~SingleInstance();

private:
  // A file descriptor on POSIX, a HANDLE on Windows; kNone when empty.
  static constexpr std::intptr_t kNone = -1;
  explicit SingleInstance(std::intptr_t handle) : handle_(handle) {}
  void release() noexcept;
  // Letters, digits, "_" and "-": a name every platform takes as it is.
  static bool validName(std::string_view name);

  std::intptr_t handle_ = kNone;
};

} // namespace velmora::platform
