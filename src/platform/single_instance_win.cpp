// The single-instance guard on Windows: a named mutex created with initial
// ownership. A second CreateMutexW of the same name opens the existing one
// and reports ERROR_ALREADY_EXISTS; that caller closes its handle and is
// refused. The guard ends when the last handle closes (the holder's, at
// destruction or at the end of the process), so no ReleaseMutex is needed
// and the object may be destroyed on any thread.
#include "platform/single_instance.h"

#include "platform/win32_support.h"

namespace velmora::platform {

std::optional<SingleInstance> SingleInstance::acquire(std::string_view name) {
  if (!validName(name))
    return std::nullopt;
  HANDLE mutex = ::CreateMutexW(nullptr, TRUE, toWide(name).c_str());
  if (mutex == nullptr)
    return std::nullopt;
  if (::GetLastError() == ERROR_ALREADY_EXISTS) {
    ::CloseHandle(mutex);
    return std::nullopt;
  }
  return SingleInstance(reinterpret_cast<std::intptr_t>(mutex));
}

void SingleInstance::release() noexcept {
  if (handle_ != kNone)
    ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = kNone;
}

} // namespace velmora::platform
