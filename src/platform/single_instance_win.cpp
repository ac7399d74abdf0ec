// The single-instance guard on Windows: a named mutex created with initial
// ownership. A second CreateMutexW of the same name opens the existing one
// and reports ERROR_ALREADY_EXISTS; that caller closes its handle and is
// refused. The guard ends when the last handle closes (the holder's, at
// destruction or at the end of the process), so no ReleaseMutex is needed
// and the object may be destroyed on any thread.
#include "platform/single_instance.h"

#include "platform/win32_support.h"

namespace velmora::platform {

namespace {

bool validName(std::string_view name) {
  if (name.empty())
    return false;
  for (const char c : name) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                    c == '_' || c == '-';
    if (!ok)
      return false;
  }
  return true;
}

} // namespace

std::optional<SingleInstance> SingleInstance::Acquire(std::string_view name) {
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

void SingleInstance::Release() noexcept {
  if (handle_ != kNone)
    ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = kNone;
}

} // namespace velmora::platform
