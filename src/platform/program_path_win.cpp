#include "platform/program_path.h"

#include "platform/win32_support.h"

#include <windows.h>

namespace velmora::platform {

std::string programPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0)
      return {};
    if (length < path.size()) {
      path.resize(length);
      return fromWide(path);
    }
    path.resize(path.size() * 2);
  }
}

} // namespace velmora::platform
